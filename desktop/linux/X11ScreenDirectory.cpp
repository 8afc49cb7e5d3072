#include "X11ScreenDirectory.h"

#include <QGuiApplication>

// Xlib's macros (Bool, None, Status...) clash with Qt's names: include it after Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

constexpr int edidLength = 128;

// The manufacturer id (bytes 8-9, big-endian) and product code (bytes 10-11, little-endian).
DisplayModel modelFromEdid(const unsigned char* edid) {
    return {quint32(edid[8]) << 8 | edid[9], quint32(edid[10]) | quint32(edid[11]) << 8};
}

// A whole EDID tells the monitor's name too; a truncated one at least its model.
EdidIdentity identityFromEdid(const unsigned char* edid, unsigned long count) {
    const QByteArray bytes(reinterpret_cast<const char*>(edid), qsizetype(count));
    if (const auto parsed = parseEdid(bytes))
        return *parsed;
    return {modelFromEdid(edid), QString(), QSize()};
}

QHash<quint32, EdidIdentity> readIdentities(Display* display) {
    QHash<quint32, EdidIdentity> identities;
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase))
        return identities;
    const Atom edidAtom = XInternAtom(display, RR_PROPERTY_RANDR_EDID, True);
    XRRScreenResources* resources =
            XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources || edidAtom == 0) {
        if (resources)
            XRRFreeScreenResources(resources);
        return identities;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!info)
            continue;
        const QString name = QString::fromUtf8(info->name, info->nameLen);
        XRRFreeOutputInfo(info);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        const int status = XRRGetOutputProperty(display, resources->outputs[i], edidAtom, 0,
                                                edidLength / 4, False, False, AnyPropertyType,
                                                &type, &format, &count, &remaining, &data);
        if (status == Success && format == 8 && count >= 12 && data)
            identities.insert(displayNumber(name), identityFromEdid(data, count));
        if (data)
            XFree(data);
    }
    XRRFreeScreenResources(resources);
    return identities;
}

} // namespace

X11ScreenDirectory::X11ScreenDirectory(QString sysfsRoot)
    : DrmScreenDirectory(std::move(sysfsRoot), Skip{}) {
    refresh();
}

QHash<quint32, EdidIdentity> X11ScreenDirectory::platformIdentities() const {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display())
        return readIdentities(x11->display());
    return {};
}
