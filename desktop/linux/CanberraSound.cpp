#include "CanberraSound.h"

#include <dlfcn.h>

CanberraSound::CanberraSound() {
    m_library = dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!m_library)
        return;
    using Create = int (*)(void**);
    const auto create = reinterpret_cast<Create>(dlsym(m_library, "ca_context_create"));
    m_destroy = reinterpret_cast<Destroy>(dlsym(m_library, "ca_context_destroy"));
    m_play = reinterpret_cast<Play>(dlsym(m_library, "ca_context_play"));
    if (!create || !m_destroy || !m_play || create(&m_context) != 0)
        m_context = nullptr;
}

CanberraSound::~CanberraSound() {
    if (m_context)
        m_destroy(m_context);
    // The library stays loaded: its sound backends may still run threads of their own.
}

void CanberraSound::play() {
    if (!m_context)
        return;
    // Failures (no sound server, no theme) are not worth a message: the toast says it all.
    m_play(m_context, 0, "event.id", "complete", "event.description", "Focus complete",
           static_cast<const char*>(nullptr));
}
