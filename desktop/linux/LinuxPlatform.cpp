#include "LinuxPlatform.h"

#include "desktop/linux/CanberraSound.h"
#include "desktop/linux/DesktopAppLauncher.h"
#include "integrations/linux/ArtworkFetcher.h"
#include "integrations/linux/AutomationsFolder.h"
#include "integrations/linux/EdsCalendarBackend.h"
#include "integrations/linux/LibgitRepositoryReader.h"
#include "integrations/linux/LinuxActivityReadings.h"
#include "integrations/linux/LinuxMachineReadings.h"
#include "integrations/linux/MprisPlayerTransport.h"
#include "integrations/linux/PulseAudioBackend.h"

#include <QDir>

TarnStore::Environment linuxEnvironment(LinuxPlatformOptions options) {
    TarnStore::Environment environment;
    auto launcher = std::make_shared<DesktopAppLauncher>();
    environment.launcher = launcher;
    environment.sound = std::make_shared<CanberraSound>();
    environment.readings = std::make_unique<LinuxMachineReadings>();

    IntegrationPlatform& integrations = environment.integrations;
    integrations.homeFolder = QDir::homePath();
    integrations.player = std::make_shared<MprisPlayerTransport>(launcher);
    integrations.artwork = std::make_shared<ArtworkFetcher>();
    integrations.audio = std::make_shared<PulseAudioBackend>();
    integrations.calendar = std::make_shared<EdsCalendarBackend>();
    integrations.activity = std::make_unique<LinuxActivityReadings>();
    integrations.chooser = std::move(options.chooser);
    integrations.automations = std::make_shared<AutomationsFolder>();
    integrations.projectPrograms.repository = std::make_shared<LibgitRepositoryReader>();
    integrations.openUrl = std::move(options.openUrl);
    integrations.settings = std::make_shared<QSettings>();
    return environment;
}
