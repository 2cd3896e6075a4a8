#include "platform/stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {
// Size of the read window of a file stream. Small seeks (the model loader peeks four bytes and
// seeks back all the time) stay inside the window and cost no system call.
constexpr std::size_t kWindow = 64 * 1024;

constexpr std::string_view kLittleEndianPrefix = "littleendian::";

std::string_view stripPrefix(std::string_view url) {
    if (url.starts_with(kLittleEndianPrefix)) url.remove_prefix(kLittleEndianPrefix.size());
    return url;
}

// Reads n bytes (n <= 8) into the low-order places of a value; missing bytes stay 0.
std::uint64_t readLE(const StreamRef& stream, std::size_t n) {
    if (!stream) return 0;
    std::uint8_t bytes[8] = {};
    stream->Read(bytes, n);
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = (v << 8) | bytes[i];
    return v;
}

void writeLE(const StreamRef& stream, std::uint64_t v, std::size_t n) {
    if (!stream) return;
    std::uint8_t bytes[8];
    for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t(v >> (8 * i));
    stream->Write(bytes, n);
}
} // namespace

StreamRef TStream::OpenFile(const std::string& path, bool readable, bool writeable) {
    if (!readable && !writeable) return nullptr;
    const int type = FileType(path);
    if (readable && type != 1) return nullptr;
    if (type == 2) return nullptr;
    const char* mode = readable ? (writeable ? "r+b" : "rb") : "wb";
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f) return nullptr;
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    StreamRef s(new TStream);
    s->file_ = f;
    s->open_ = true;
    s->readable_ = readable;
    s->writeable_ = writeable;
    s->size_ = st.st_size;
    return s;
}

StreamRef TStream::OpenMemory(std::vector<std::uint8_t> bytes) {
    StreamRef s(new TStream);
    s->memory_ = true;
    s->open_ = true;
    s->readable_ = true;
    s->writeable_ = true;
    s->size_ = std::int64_t(bytes.size());
    s->buf_ = std::move(bytes);
    return s;
}

TStream::~TStream() {
    Close();
}

bool TStream::fill() {
    if (!file_ || pos_ >= size_) return false;
    if (fseeko(file_, off_t(pos_), SEEK_SET) != 0) return false;
    const std::size_t want = std::size_t(std::min<std::int64_t>(kWindow, size_ - pos_));
    buf_.resize(want);
    const std::size_t got = std::fread(buf_.data(), 1, want, file_);
    buf_.resize(got);
    bufStart_ = pos_;
    if (got == 0) size_ = pos_; // the file shrank under us: its end is here now
    return got > 0;
}

std::size_t TStream::Read(void* buf, std::size_t n) {
    if (!open_ || !readable_) return 0;
    auto* out = static_cast<std::uint8_t*>(buf);
    std::size_t done = 0;
    while (done < n && pos_ < size_) {
        const std::int64_t end = bufStart_ + std::int64_t(buf_.size());
        if (pos_ < bufStart_ || pos_ >= end) {
            if (memory_ || !fill()) break;
            continue;
        }
        const std::size_t avail = std::size_t(std::min(end, size_) - pos_);
        const std::size_t take = std::min(avail, n - done);
        std::memcpy(out + done, buf_.data() + (pos_ - bufStart_), take);
        done += take;
        pos_ += std::int64_t(take);
    }
    return done;
}

std::size_t TStream::Write(const void* buf, std::size_t n) {
    if (!open_ || !writeable_ || n == 0) return 0;
    if (memory_) {
        const std::size_t end = std::size_t(pos_) + n;
        if (end > buf_.size()) buf_.resize(end);
        std::memcpy(buf_.data() + pos_, buf, n);
        pos_ = std::int64_t(end);
        size_ = std::max(size_, pos_);
        return n;
    }
    buf_.clear(); // the read window may hold the old bytes
    bufStart_ = 0;
    if (fseeko(file_, off_t(pos_), SEEK_SET) != 0) return 0;
    const std::size_t put = std::fwrite(buf, 1, n, file_);
    pos_ += std::int64_t(put);
    size_ = std::max(size_, pos_);
    return put;
}

std::int64_t TStream::Seek(std::int64_t pos) {
    if (!open_) return 0;
    pos_ = std::clamp<std::int64_t>(pos, 0, size_);
    return pos_;
}

void TStream::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    open_ = false;
    pos_ = size_ = bufStart_ = 0;
    std::vector<std::uint8_t>().swap(buf_);
}

StreamRef OpenStream(std::string_view url, bool readable, bool writeable) {
    return TStream::OpenFile(std::string(stripPrefix(url)), readable, writeable);
}

StreamRef OpenFile(std::string_view url, bool readable, bool writeable) {
    return OpenStream(url, readable, writeable);
}

StreamRef WriteFile(std::string_view url) {
    return OpenStream(url, false, true);
}

void CloseStream(const StreamRef& stream) {
    if (stream) stream->Close();
}

void CloseFile(const StreamRef& stream) {
    CloseStream(stream);
}

int ReadByte(const StreamRef& stream) {
    return int(readLE(stream, 1));
}
int ReadShort(const StreamRef& stream) {
    return int(readLE(stream, 2));
}
std::int32_t ReadInt(const StreamRef& stream) {
    return std::int32_t(std::uint32_t(readLE(stream, 4)));
}
std::int64_t ReadLong(const StreamRef& stream) {
    return std::int64_t(readLE(stream, 8));
}

float ReadFloat(const StreamRef& stream) {
    const std::uint32_t bits = std::uint32_t(readLE(stream, 4));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void WriteByte(const StreamRef& stream, int value) {
    writeLE(stream, std::uint64_t(value), 1);
}
void WriteShort(const StreamRef& stream, int value) {
    writeLE(stream, std::uint64_t(value), 2);
}
void WriteInt(const StreamRef& stream, std::int32_t value) {
    writeLE(stream, std::uint64_t(value), 4);
}
void WriteLong(const StreamRef& stream, std::int64_t value) {
    writeLE(stream, std::uint64_t(value), 8);
}

void WriteFloat(const StreamRef& stream, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeLE(stream, bits, 4);
}

std::int64_t StreamPos(const StreamRef& stream) {
    return stream ? stream->Pos() : 0;
}
std::int64_t StreamSize(const StreamRef& stream) {
    return stream ? stream->Size() : 0;
}

std::int64_t SeekStream(const StreamRef& stream, std::int64_t pos) {
    return stream ? stream->Seek(pos) : 0;
}

bool Eof(const StreamRef& stream) {
    return !stream || stream->Eof();
}

int FileType(std::string_view path) {
    if (path.empty()) return 0;
    struct stat st {};
    if (stat(std::string(path).c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return 2;
    if (S_ISREG(st.st_mode)) return 1;
    return 0;
}

std::string CurrentDir() {
    std::vector<char> buf(PATH_MAX);
    while (!getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

bool ChangeDir(std::string_view path) {
    if (path.empty()) return false;
    return chdir(std::string(path).c_str()) == 0;
}
