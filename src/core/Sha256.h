#pragma once
// SHA-256 of a byte stream, fed in pieces as the bytes go by (the backup
// hashes what it reads for copying, so the source is read once). Uses the
// CPU's SHA instructions where it has them: the evidence package hashes every
// byte twice, and the portable rounds would make it slower than the copy.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256
{
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    void update(const void* data, std::size_t size);
    // The digest of everything fed so far; the object then starts afresh.
    Digest finish();

    // Lower-case hexadecimal, as sha256sum prints it.
    static std::string toHex(const Digest& digest);
    // Whether the SHA instructions are in use; tests switch them off to check
    // both implementations against each other.
    static bool hardwareAccelerated();
    static void setHardwareAllowed(bool allowed);

private:
    void reset();
    void compress(const uint8_t* data, std::size_t blocks);

    uint32_t m_state[8];
    uint8_t m_buffer[64];
    std::size_t m_buffered = 0;
    uint64_t m_length = 0;
};
