#include "mail/MaildirFolder.h"

#include "core/Error.h"
#include "mail/DeferredSync.h"
#include "mail/FileDescriptor.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/time.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace quillmark::mail {

namespace {

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

[[noreturn]] void fail(const QString& what, const QString& path) {
    throw core::Error(QStringLiteral("%1 \"%2\": %3").arg(what, path, systemReason()));
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Maildir reserves '/' and ':' in names; they are written as octal escapes. Looked up once:
// each message's name carries it.
const QString& safeHostName() {
    static const QString host = [] {
        QString name = QSysInfo::machineHostName();
        if (name.isEmpty()) {
            name = QStringLiteral("localhost");
        }
        name.replace(QLatin1Char('/'), QStringLiteral("\\057"));
        name.replace(QLatin1Char(':'), QStringLiteral("\\072"));
        return name;
    }();
    return host;
}

// seconds.M<microseconds>P<pid>Q<counter>R<random>.host: the counter keeps names unique within
// this process, the pid across processes, the random part across pid reuse.
QString uniqueName() {
    static std::atomic<quint64> counter{0};
    struct timeval now {};
    ::gettimeofday(&now, nullptr);
    return QStringLiteral("%1.M%2P%3Q%4R%5.%6")
        .arg(static_cast<qint64>(now.tv_sec))
        .arg(static_cast<qint64>(now.tv_usec), 6, 10, QLatin1Char('0'))
        .arg(static_cast<qint64>(::getpid()))
        .arg(++counter)
        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))
        .arg(safeHostName());
}

void writeAll(int fd, const QByteArray& bytes, const QString& path) {
    const char* data = bytes.constData();
    auto left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(QStringLiteral("Cannot write the message file"), path);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

// The rename into new/ is durable only once the folder's own entry list reaches the disk.
void syncFolder(const QString& path) {
    FileDescriptor folder(::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid() || ::fsync(folder.get()) != 0) {
        fail(QStringLiteral("Cannot flush the mail folder"), path);
    }
}

// A name of ours sorts by the time and counter it carries; others by the file's change time.
struct EntryOrder {
    qint64 seconds = 0;
    qint64 microseconds = 0;
    quint64 counter = 0;
    QString name;
    QString subFolder;

    bool operator<(const EntryOrder& other) const {
        return std::tie(seconds, microseconds, counter, name) <
               std::tie(other.seconds, other.microseconds, other.counter, other.name);
    }
};

qint64 numberAfter(const QString& name, QChar tag, qsizetype from, qsizetype to, bool* ok) {
    const qsizetype start = name.indexOf(tag, from);
    if (start < 0 || start >= to) {
        *ok = false;
        return 0;
    }
    qsizetype end = start + 1;
    while (end < to && name.at(end).isDigit()) {
        ++end;
    }
    return name.mid(start + 1, end - start - 1).toLongLong(ok);
}

EntryOrder orderOf(const QFileInfo& file, const QString& subFolder) {
    EntryOrder order;
    order.name = file.fileName();
    order.subFolder = subFolder;
    const QString& name = order.name;
    const qsizetype firstDot = name.indexOf(QLatin1Char('.'));
    const qsizetype secondDot = firstDot < 0 ? -1 : name.indexOf(QLatin1Char('.'), firstDot + 1);
    bool ok = firstDot > 0 && secondDot > firstDot;
    if (ok) {
        order.seconds = name.left(firstDot).toLongLong(&ok);
    }
    if (ok) {
        order.microseconds = numberAfter(name, QLatin1Char('M'), firstDot, secondDot, &ok);
    }
    if (ok) {
        order.counter = static_cast<quint64>(numberAfter(name, QLatin1Char('Q'), firstDot, secondDot, &ok));
    }
    if (!ok) {
        const qint64 modified = file.lastModified().toMSecsSinceEpoch();
        order.seconds = modified / 1000;
        order.microseconds = (modified % 1000) * 1000;
        order.counter = 0;
    }
    return order;
}

void createSubFolders(const QString& root) {
    for (const char* sub : {"tmp", "new", "cur"}) {
        const QString path = root + QLatin1Char('/') + QLatin1String(sub);
        if (!QDir().mkpath(path)) {
            throw core::Error(QStringLiteral("Cannot create the mail folder \"%1\"").arg(path));
        }
    }
}

// Runs `attempt` (true when it succeeded, errno set when not); when it failed for want of a
// sub-folder, makes the folder's sub-folders and runs it once more. They are made only when a
// write finds them missing, so the common case costs no extra system calls.
template <typename Attempt>
bool makingSubFoldersIfMissing(const QString& root, Attempt attempt) {
    if (attempt()) {
        return true;
    }
    if (errno != ENOENT) {
        return false;
    }
    createSubFolders(root);
    return attempt();
}

const QStringList& readableSubFolders() {
    static const QStringList names{QStringLiteral("new"), QStringLiteral("cur")};
    return names;
}

} // namespace

MaildirFolder::MaildirFolder(QString path) : m_path(std::move(path)) {}

FileDescriptor MaildirFolder::createStaged(const QString& path) const {
    FileDescriptor file;
    const bool created = makingSubFoldersIfMissing(m_path, [&] {
        file = FileDescriptor(::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        return file.valid();
    });
    if (!created) {
        fail(QStringLiteral("Cannot create the message file"), path);
    }
    return file;
}

void MaildirFolder::moveIntoNew(const QString& staged, const QString& delivered) const {
    const bool moved = makingSubFoldersIfMissing(
        m_path, [&] { return ::rename(encoded(staged).constData(), encoded(delivered).constData()) == 0; });
    if (!moved) {
        fail(QStringLiteral("Cannot move the message into"), delivered);
    }
}

QString MaildirFolder::link(const QByteArray& message, Flush flush) const {
    const QString name = uniqueName();
    const QString staged = m_path + QStringLiteral("/tmp/") + name;
    try {
        FileDescriptor file = createStaged(staged);
        writeAll(file.get(), message, staged);
        if (flush == Flush::BeforeLinking && ::fsync(file.get()) != 0) {
            fail(QStringLiteral("Cannot flush the message file"), staged);
        }
        if (!file.close()) {
            fail(QStringLiteral("Cannot close the message file"), staged);
        }
        moveIntoNew(staged, newEntryPath(name));
    } catch (...) {
        ::unlink(encoded(staged).constData());
        throw;
    }
    return name;
}

QString MaildirFolder::newFolder() const {
    return m_path + QStringLiteral("/new");
}

QString MaildirFolder::add(const QByteArray& message) {
    const QString name = link(message, Flush::BeforeLinking);
    syncFolder(newFolder());
    return name;
}

QString MaildirFolder::add(const QByteArray& message, DeferredSync& sync) {
    const QString name = link(message, Flush::Later);
    sync.flushLater(encoded(newFolder()));
    return name;
}

// The file is complete already, so it goes straight into new/: a link appears whole or not at all.
std::optional<QString> MaildirFolder::addLinkTo(const QString& storedFile, DeferredSync& sync) {
    const QString name = uniqueName();
    const QByteArray source = encoded(storedFile);
    const QByteArray target = encoded(newEntryPath(name));
    // A file already gone fails the same way on the second attempt: the caller writes a copy.
    const bool linked =
        makingSubFoldersIfMissing(m_path, [&] { return ::link(source.constData(), target.constData()) == 0; });
    if (!linked) {
        return std::nullopt;
    }
    sync.flushLater(encoded(newFolder()));
    return name;
}

QString MaildirFolder::newEntryPath(const QString& entry) const {
    return newFolder() + QLatin1Char('/') + entry;
}

bool MaildirFolder::isEmpty() const {
    for (const QString& sub : readableSubFolders()) {
        const std::unique_ptr<DIR, int (*)(DIR*)> folder(
            ::opendir(encoded(m_path + QLatin1Char('/') + sub).constData()), &::closedir);
        while (folder) {
            const dirent* entry = ::readdir(folder.get());
            if (entry == nullptr) {
                break;
            }
            if (entry->d_name[0] != '.' ||
                (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)) {
                return false;
            }
        }
    }
    return true;
}

std::vector<QString> MaildirFolder::entries() const {
    std::vector<EntryOrder> found;
    for (const QString& sub : readableSubFolders()) {
        const QDir dir(m_path + QLatin1Char('/') + sub);
        const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QFileInfo& file : files) {
            found.push_back(orderOf(file, sub));
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<QString> names;
    names.reserve(found.size());
    for (const EntryOrder& entry : found) {
        names.push_back(entry.name);
    }
    return names;
}

namespace {

// The file holding an entry, or an empty text. Names with a path separator never leave the folder.
QString locate(const QString& folder, const QString& entry) {
    if (entry.isEmpty() || entry.contains(QLatin1Char('/')) || entry == QStringLiteral(".") ||
        entry == QStringLiteral("..") || entry.contains(QChar(0))) {
        return {};
    }
    for (const QString& sub : readableSubFolders()) {
        const QString candidate = folder + QLatin1Char('/') + sub + QLatin1Char('/') + entry;
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return {};
}

[[noreturn]] void failMissing(const QString& folder, const QString& entry) {
    throw core::Error(QStringLiteral("The mail folder \"%1\" holds no message \"%2\"").arg(folder, entry));
}

} // namespace

QByteArray MaildirFolder::read(const QString& entry) const {
    const QString file = locate(m_path, entry);
    if (file.isEmpty()) {
        failMissing(m_path, entry);
    }
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        if (!source.exists()) {
            failMissing(m_path, entry);
        }
        throw core::Error(QStringLiteral("Cannot read the message file \"%1\": %2").arg(file, source.errorString()));
    }
    return source.readAll();
}

void MaildirFolder::remove(const QString& entry) {
    const QString file = locate(m_path, entry);
    if (file.isEmpty()) {
        failMissing(m_path, entry);
    }
    if (::unlink(encoded(file).constData()) != 0) {
        if (errno == ENOENT) {
            failMissing(m_path, entry);
        }
        fail(QStringLiteral("Cannot remove the message file"), file);
    }
}

} // namespace quillmark::mail
