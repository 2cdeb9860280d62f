// A PNG file of 8-bit RGB pixels, written with zlib: enough for screenshots.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// rgb holds width * height pixels, three bytes each, row after row from
// the top. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
