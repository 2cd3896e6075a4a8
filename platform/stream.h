// Byte streams over files or memory, and the few file-system calls the engine needs.
//
// Every multi-byte value is read and written little-endian whatever the host. Reads never fail:
// bytes past the end read as 0, and a value cut short by the end keeps the bytes that were
// there in its low-order places (two bytes left, then ReadInt, gives those two bytes). A stream
// handle may be null (the null object) or closed; every call on such a handle is a safe no-op
// that returns 0 (Eof returns true). Releasing the last handle closes the stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStream;
using StreamRef = std::shared_ptr<TStream>;

class TStream {
  public:
    // Opens a regular file. readable only: the file must exist. readable and writeable: the
    // file must exist and be writable (it is not created). writeable only: the file is created
    // or truncated. Null when the file cannot be opened so, or when the path is a directory or
    // anything else that is not a regular file.
    static StreamRef OpenFile(const std::string& path, bool readable, bool writeable);
    // A readable and writeable stream over a copy of the bytes (writes may grow it).
    static StreamRef OpenMemory(std::vector<std::uint8_t> bytes);

    ~TStream();
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Copies up to n bytes from the position into buf and advances past them; returns the
    // number of bytes copied (fewer than n only at the end of the stream).
    std::size_t Read(void* buf, std::size_t n);
    // Writes n bytes at the position, growing the stream when they reach past its end;
    // returns the number written (0 for a stream not opened for writing, or a closed one).
    std::size_t Write(const void* buf, std::size_t n);

    // Position and size in bytes; both 0 once closed.
    std::int64_t Pos() const { return pos_; }
    std::int64_t Size() const { return size_; }
    // Moves the position, clamped to 0 .. Size(); returns the new position.
    std::int64_t Seek(std::int64_t pos);
    bool Eof() const { return pos_ >= size_; }
    bool IsOpen() const { return open_; }
    // Flushes and releases the file; a second call does nothing.
    void Close();

  private:
    TStream() = default;
    bool fill(); // reloads the read window of a file stream at pos_

    std::FILE* file_ = nullptr;
    bool open_ = false;
    bool memory_ = false;
    bool readable_ = false;
    bool writeable_ = false;
    std::int64_t pos_ = 0;
    std::int64_t size_ = 0;
    // File streams: a window of the file's bytes starting at bufStart_. Memory streams: the
    // whole content, with bufStart_ 0.
    std::vector<std::uint8_t> buf_;
    std::int64_t bufStart_ = 0;
};

// Files opened by name. OpenStream accepts a "littleendian::" prefix (streams are always
// little-endian, so the prefix only selects the byte order that is used anyway).
StreamRef OpenStream(std::string_view url, bool readable = true, bool writeable = true);
// OpenStream, for reading only unless asked (see TStream::OpenFile for what each mode needs).
StreamRef OpenFile(std::string_view url, bool readable = true, bool writeable = false);
// Creates or truncates a file for writing.
StreamRef WriteFile(std::string_view url);
// Closes the stream (flushing a file); later calls on it do nothing and read 0.
void CloseStream(const StreamRef& stream);
// CloseStream.
void CloseFile(const StreamRef& stream);

// Reads. ReadByte and ReadShort are unsigned; ReadInt and ReadLong are two's-complement signed.

// One byte, 0..255.
int ReadByte(const StreamRef& stream);
// Two bytes, 0..65535.
int ReadShort(const StreamRef& stream);
// Four bytes, signed.
std::int32_t ReadInt(const StreamRef& stream);
// Eight bytes, signed.
std::int64_t ReadLong(const StreamRef& stream);
// Four bytes holding an IEEE single-precision float.
float ReadFloat(const StreamRef& stream);

// Writes (no-ops on streams not opened for writing).

// The low 8 bits of value, one byte.
void WriteByte(const StreamRef& stream, int value);
// The low 16 bits of value, two bytes.
void WriteShort(const StreamRef& stream, int value);
// Four bytes.
void WriteInt(const StreamRef& stream, std::int32_t value);
// Eight bytes.
void WriteLong(const StreamRef& stream, std::int64_t value);
// Four bytes holding value as an IEEE single-precision float.
void WriteFloat(const StreamRef& stream, float value);

// The position in bytes from the start; 0 for a null or closed stream.
std::int64_t StreamPos(const StreamRef& stream);
// The size in bytes; 0 for a null or closed stream.
std::int64_t StreamSize(const StreamRef& stream);
// Sets the position (clamped to the stream's size) and returns it.
std::int64_t SeekStream(const StreamRef& stream, std::int64_t pos);
// True at the end of the stream, and for a null or closed stream.
bool Eof(const StreamRef& stream);

// File system: 0 nothing there, 1 a regular file, 2 a directory (other kinds of node count as
// nothing, since they cannot be read as files).
int FileType(std::string_view path);
// The working directory, with "/" separators.
std::string CurrentDir();
// Changes the working directory; false (and no change) when that is not possible.
bool ChangeDir(std::string_view path);
