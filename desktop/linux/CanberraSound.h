#pragma once

#include "store/CompletionSound.h"

// Plays the sound theme's "complete" event through libcanberra when the library is installed;
// silent otherwise. The library is looked up at run time, so it is not a build dependency.
class CanberraSound : public CompletionSound {
public:
    CanberraSound();
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    void play() override;
    bool isAvailable() const { return m_context != nullptr; }

private:
    using Destroy = int (*)(void*);
    using Play = int (*)(void*, unsigned, ...);

    void* m_library = nullptr;
    void* m_context = nullptr;
    Destroy m_destroy = nullptr;
    Play m_play = nullptr;
};
