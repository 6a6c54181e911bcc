#include "TextFile.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence starting at i, or 0 when the bytes there are not one.
int validSequenceLength(const unsigned char* p, qsizetype i, qsizetype size) {
    const unsigned char b = p[i];
    auto within = [&](qsizetype k, unsigned char lo, unsigned char hi) {
        return i + k < size && p[i + k] >= lo && p[i + k] <= hi;
    };
    if (b >= 0xC2 && b <= 0xDF)
        return within(1, 0x80, 0xBF) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        return within(1, lo, hi) && within(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        return within(1, lo, hi) && within(2, 0x80, 0xBF) && within(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

} // namespace

QByteArray LoadBytesFromFile(const QString& path) {
    const QByteArray native = encodeUtf8Lossless(path);
    FileDescriptor fd(::open(native.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot open"), path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot read"), path);
    if (S_ISDIR(st.st_mode))
        throw FileError::fromErrno(EISDIR, QStringLiteral("Cannot read"), path);
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, QStringLiteral("Cannot read"), path);
        }
        bytes.append(buffer, n);
    }
    return bytes;
}

namespace {

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

// Both directions write into a buffer sized for the longest result and cut it to length: most
// text is ASCII, and appending it a character at a time costs more than the decoding.
QString decodeUtf8Lossless(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString text(size, Qt::Uninitialized); // a sequence never gives more units than bytes
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const begin = out;
    for (qsizetype i = 0; i < size;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        const int length = validSequenceLength(p, i, size);
        if (length == 0) {
            *out++ = char16_t(kEscapeBase + b);
            ++i;
            continue;
        }
        char32_t cp = b & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            cp = (cp << 6) | (p[i + k] & 0x3F);
        if (cp >= 0x10000) {
            *out++ = QChar::highSurrogate(cp);
            *out++ = QChar::lowSurrogate(cp);
        } else {
            *out++ = char16_t(cp);
        }
        i += length;
    }
    text.truncate(out - begin);
    return text;
}

namespace {

char* putUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = char(cp);
    } else if (cp < 0x800) {
        *out++ = char(0xC0 | (cp >> 6));
        *out++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = char(0xE0 | (cp >> 12));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    } else {
        *out++ = char(0xF0 | (cp >> 18));
        *out++ = char(0x80 | ((cp >> 12) & 0x3F));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    }
    return out;
}

} // namespace

void appendUtf8(QByteArray& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, putUtf8(bytes, cp) - bytes);
}

QByteArray encodeUtf8Lossless(const QString& text) {
    const char16_t* u = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    QByteArray bytes(size * 3, Qt::Uninitialized); // a unit gives at most three bytes, a pair four
    char* out = bytes.data();
    char* const begin = out;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = u[i];
        if (c < 0x80) {
            *out++ = char(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(u[i + 1])) {
            out = putUtf8(out, QChar::surrogateToUcs4(c, u[i + 1]));
            ++i;
        } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            *out++ = char(c - kEscapeBase);
        } else if (QChar::isSurrogate(c)) {
            out = putUtf8(out, 0xFFFD); // a lone surrogate has no UTF-8 form
        } else {
            out = putUtf8(out, c);
        }
    }
    bytes.truncate(out - begin);
    return bytes;
}

void writeAllBytes(int fd, const QByteArray& bytes, const QString& path) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
        }
        data += n;
        left -= n;
    }
}

void writeAllBytesAndClose(int fd, const QByteArray& bytes, const QString& path) {
    try {
        writeAllBytes(fd, bytes, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
}

QString LoadTextFromFile(const QString& path) {
    return decodeUtf8Lossless(LoadBytesFromFile(path));
}

void SaveTextToFile(const QString& text, const QString& path) {
    SaveBytesToFile(encodeUtf8Lossless(text), path);
}

void SaveBytesToFile(const QByteArray& bytes, const QString& path) {
    // Paths are handled as the bytes they stand for, so names that are not UTF-8 keep theirs.
    const QByteArray native = encodeUtf8Lossless(path);
    struct stat existing {};
    const bool exists = ::stat(native.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw FileError::fromErrno(EISDIR, QStringLiteral("Cannot write"), path);

    // Write beside the target and rename over it, so a failed write never leaves it half-made.
    const QFileInfo target(path);
    QByteArray temp =
        encodeUtf8Lossless(target.absolutePath() + QStringLiteral("/.") + target.fileName()) +
        ".XXXXXX";
    FileDescriptor fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
    try {
        const mode_t mode = exists ? (existing.st_mode & 07777) : mode_t(0666 & ~currentUmask());
        writeAllBytes(fd.get(), bytes, path);
        if (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0)
            throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
        if (::close(fd.release()) != 0)
            throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
        if (::rename(temp.constData(), native.constData()) != 0)
            throw FileError::fromErrno(errno, QStringLiteral("Cannot replace"), path);
    } catch (...) {
        ::unlink(temp.constData());
        throw;
    }
}
