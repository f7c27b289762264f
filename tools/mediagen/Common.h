#pragma once
// Small helpers shared by the generator's parts (not part of its public API).
#include "MediaGen.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mediagen
{

bool fail(std::string* error, const std::string& message);
bool readFile(const std::string& path, std::string& out, std::string* error);
bool writeFile(const std::string& path, const std::string& data, std::string* error);

// Deterministic pseudo-random numbers (std distributions differ between libraries).
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed * 0x2545F4914F6CDD1Dull + 1) {}
    uint32_t next();
    double uniform(double lo, double hi);
};

void putBe16(std::string& s, std::size_t at, uint16_t v);
void putBe32(std::string& s, std::size_t at, uint32_t v);
void putLe32(std::string& s, std::size_t at, uint32_t v);
uint32_t getBe32(const std::string& s, std::size_t at);
uint32_t getLe32(const std::string& s, std::size_t at);

} // namespace mediagen
