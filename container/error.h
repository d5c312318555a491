#pragma once

// Result codes of the container layer: 0, a count or a position on success,
// one of these on failure.
namespace container {

constexpr int AVERROR_NOENT = -2;      // not found, cannot open
constexpr int AVERROR_IO = -5;         // not allowed in this mode, read failure
constexpr int AVERROR_NOMEM = -12;     // out of memory
constexpr int AVERROR_INVAL = -22;     // invalid argument
constexpr int AVERROR_SPIPE = -32;     // cannot seek, no earlier group of pictures
constexpr int AVERROR_DYNBUF = -1234;  // a dynamic memory stream cannot grow
constexpr int AVERROR_UNKNOWN = -1;
constexpr int AVERROR_EOF = -541478725;  // the forward reader's end of file

}  // namespace container
