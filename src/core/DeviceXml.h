#pragma once
// The camera's "DEVICE.XML" description on the card. Only the product name is
// read, from a bounded prefix of the file: a card may hold a huge or hostile
// file under that name, and the name always sits near the top.
#include <cstddef>
#include <string>

// How much of "DEVICE.XML" is ever read.
constexpr std::size_t kDeviceXmlReadLimit = 64 * 1024;

// The longest product name handed on, in characters.
constexpr std::size_t kProductNameMaxChars = 20;

// The text between the first "<ProductName>" and the first "</ProductName>"
// of the file, cut to its first 20 characters (at a character boundary); ""
// when the file cannot be read, is not UTF-8 text, lacks either tag, the text
// between is empty, or the closing tag comes first.
std::string pmReadProductName(const std::string& deviceXmlPath);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool pmIsValidUtf8(const std::string& text);

// At most the first `maxChars` UTF-8 characters of valid UTF-8 text.
std::string pmUtf8Prefix(const std::string& text, std::size_t maxChars);
