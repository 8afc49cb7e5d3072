#pragma once

// The short sound played when the main focus timer runs out.
class CompletionSound {
public:
    virtual ~CompletionSound() = default;
    virtual void play() = 0;
};
