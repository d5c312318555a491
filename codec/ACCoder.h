#pragma once

// Receiver of coder events; declared for the interface, implemented by no one.
class ACCoderListener;

// Root of the coder tree.
class ACCoder {
public:
    ACCoder() = default;
    virtual ~ACCoder();
    ACCoder(const ACCoder&) = delete;
    ACCoder& operator=(const ACCoder&) = delete;

    // Returns 1.
    virtual int Reset();
    // Stores the listener (not owned); returns 1.
    virtual int SetListener(ACCoderListener* listener);
    // Forgets the listener; returns 1.
    virtual int RemoveListener();

protected:
    ACCoderListener* listener = nullptr;
};
