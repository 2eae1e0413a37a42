#include "platform/IniFile.h"

#include "platform/UniqueFd.h"

#include "platform/Exception.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// The text

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

enum class LineKind { Blank, Other, Section, Entry };

struct Line {
    size_t begin = 0;        // first byte of the line
    size_t end = 0;          // past its LF, or the end of the text for an unterminated last line
    bool terminated = false; // ends in LF
    LineKind kind = LineKind::Other;
    std::string_view name;  // section name or key, blanks removed
    std::string_view value; // entry value, blanks removed, quotes kept
};

Line Classify(std::string_view text, size_t begin, size_t contentEnd) {
    Line line;
    line.begin = begin;
    const std::string_view t = IniText::TrimBlanks(text.substr(begin, contentEnd - begin));
    if (t.empty()) {
        line.kind = LineKind::Blank;
        return line;
    }
    if (t.front() == '[') {
        const size_t close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = IniText::TrimBlanks(t.substr(1, close - 1));
            return line;
        }
        // "[" without "]" is not a header; the line may still be an entry.
    }
    if (t.front() == ';')
        return line; // comment
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return line;
    const std::string_view key = IniText::TrimBlanks(t.substr(0, eq));
    if (key.empty())
        return line;
    line.kind = LineKind::Entry;
    line.name = key;
    line.value = IniText::TrimBlanks(t.substr(eq + 1));
    return line;
}

std::vector<Line> Scan(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    // A UTF-8 byte order mark left by an editor is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size()) {
        const size_t lf = text.find('\n', pos);
        const size_t contentEnd = lf == std::string_view::npos ? text.size() : lf;
        Line line = Classify(text, pos, contentEnd);
        line.terminated = lf != std::string_view::npos;
        line.end = line.terminated ? lf + 1 : text.size();
        pos = line.end;
        lines.push_back(line);
    }
    return lines;
}

// The lines of one section: its header and the lines up to the next header.
struct SectionRange {
    size_t header = 0;
    size_t bodyEnd = 0; // index of the next header, or lines.size()
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section,
                                        size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && SameName(lines[i].name, section)) {
            size_t end = i + 1;
            while (end < lines.size() && lines[end].kind != LineKind::Section)
                ++end;
            return SectionRange{i, end};
        }
    }
    return std::nullopt;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool HasLineBreakOrNul(std::string_view s) {
    using namespace std::string_view_literals;
    return s.find_first_of("\r\n\0"sv) != s.npos;
}

} // namespace

namespace IniText {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    const std::vector<Line> lines = Scan(text);
    const auto range = FindSection(lines, TrimBlanks(section));
    if (!range)
        return std::nullopt;
    key = TrimBlanks(key);
    for (size_t i = range->header + 1; i < range->bodyEnd; ++i) {
        if (lines[i].kind == LineKind::Entry && SameName(lines[i].name, key))
            return std::string(Unquote(lines[i].value));
    }
    return std::nullopt;
}

std::optional<int32_t> ParseInteger(std::string_view value) {
    std::string_view t = TrimBlanks(value);
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
        if (t.empty() || t.front() < '0' || t.front() > '9')
            return std::nullopt; // "+", "+-3"
    }
    int32_t result = 0;
    const char* const end = t.data() + t.size();
    const auto [stop, error] = std::from_chars(t.data(), end, result, 10);
    if (t.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return result;
}

bool HasSection(std::string_view text, std::string_view section) {
    return FindSection(Scan(text), TrimBlanks(section)).has_value();
}

std::vector<std::string> SectionKeys(std::string_view text, std::string_view section) {
    std::vector<std::string> keys;
    const std::vector<Line> lines = Scan(text);
    const auto range = FindSection(lines, TrimBlanks(section));
    if (!range)
        return keys;
    for (size_t i = range->header + 1; i < range->bodyEnd; ++i) {
        if (lines[i].kind != LineKind::Entry)
            continue;
        bool seen = false;
        for (const std::string& k : keys)
            seen = seen || SameName(k, lines[i].name);
        if (!seen)
            keys.emplace_back(lines[i].name);
    }
    return keys;
}

void SetValue(std::string& text, std::string_view section, std::string_view key,
              std::string_view value) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    std::string entry;
    entry.reserve(key.size() + value.size() + 3);
    entry.append(key).append("=").append(value).append("\r\n");

    const std::vector<Line> lines = Scan(text);
    if (const auto range = FindSection(lines, section)) {
        size_t after = range->header; // the section's last non-blank line
        for (size_t i = range->header + 1; i < range->bodyEnd; ++i) {
            const Line& line = lines[i];
            if (line.kind == LineKind::Entry && SameName(line.name, key)) {
                text.replace(line.begin, line.end - line.begin, entry);
                return;
            }
            if (line.kind != LineKind::Blank)
                after = i;
        }
        const Line& last = lines[after];
        text.insert(last.end, last.terminated ? entry : "\r\n" + entry);
        return;
    }

    if (!lines.empty()) {
        if (!lines.back().terminated)
            text.append("\r\n");
        if (lines.back().kind != LineKind::Blank)
            text.append("\r\n");
    }
    text.append("[").append(section).append("]\r\n").append(entry);
}

void RemoveKey(std::string& text, std::string_view section, std::string_view key) {
    const std::vector<Line> lines = Scan(text);
    const auto range = FindSection(lines, TrimBlanks(section));
    if (!range)
        return;
    key = TrimBlanks(key);
    for (size_t i = range->bodyEnd; i-- > range->header + 1;) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Entry && SameName(line.name, key))
            text.erase(line.begin, line.end - line.begin);
    }
}

void RemoveSection(std::string& text, std::string_view section) {
    section = TrimBlanks(section);
    const std::vector<Line> lines = Scan(text);
    std::vector<SectionRange> ranges;
    for (auto range = FindSection(lines, section); range;
         range = FindSection(lines, section, range->bodyEnd))
        ranges.push_back(*range);
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        const size_t begin = lines[it->header].begin;
        const size_t end = it->bodyEnd < lines.size() ? lines[it->bodyEnd].begin : text.size();
        text.erase(begin, end - begin);
    }
}

bool IsWritableSection(std::string_view section) {
    const std::string_view t = TrimBlanks(section);
    return !t.empty() && !HasLineBreakOrNul(section) && t.find(']') == t.npos;
}

bool IsWritableKey(std::string_view key) {
    const std::string_view t = TrimBlanks(key);
    return !t.empty() && !HasLineBreakOrNul(key) && t.find('=') == t.npos && t.front() != ';' &&
           t.front() != '[';
}

bool IsWritableValue(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

} // namespace IniText

// ---------------------------------------------------------------------------------------------
// The file

namespace {

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const fs::path& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    fs::path path_;
};

std::mutex g_hookMutex;
IniReplaceHook g_hook;

// One read-change-replace at a time within this program, so that two writers here do not lose
// each other's keys.
std::mutex g_writeMutex;

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const fs::path& path, std::string& out) {
    out.clear();
    // O_NONBLOCK: a FIFO in the file's place must not hang the reader.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ReadResult::Failed;
    out.reserve(static_cast<size_t>(st.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n == 0)
            return ReadResult::Ok;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.clear();
            return ReadResult::Failed;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

std::string ReadForLookup(const fs::path& path) {
    std::string text;
    ReadWholeFile(path, text); // a missing or unreadable file reads as empty
    return text;
}

// Follows symbolic links to the file they name (which need not exist yet).
bool ResolveLinks(const fs::path& path, fs::path& resolved) {
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = p;
            return true;
        }
        std::error_code ec;
        const fs::path target = fs::read_symlink(p, ec);
        if (ec)
            return false;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return false;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A name part that differs between programs, calls and attempts; O_EXCL settles any clash.
std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%ld-%x-%llx", static_cast<long>(::getpid()),
                  counter.fetch_add(1, std::memory_order_relaxed),
                  static_cast<unsigned long long>(now) & 0xFFFFFFull);
    return buffer;
}

// Writes `text` to a temporary file beside `target` and renames it over the target. `old` is the
// target's status when it exists: its owner and permission bits go to the new file.
bool ReplaceFile(const fs::path& target, std::string_view text, const struct stat* old) {
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    // Hidden and ending in ".tmp": never listed as a configuration file while it exists. The
    // file's own name is cut so that the temporary's name stays within the file system's limit.
    const std::string stem = "." + target.filename().string().substr(0, 100) + ".";

    UniqueFd fd;
    std::optional<TemporaryFile> temporary;
    for (int attempt = 0; attempt < 100 && !temporary; ++attempt) {
        fs::path candidate = folder / (stem + UniqueSuffix() + ".tmp");
        // 0666 less the umask for a new file, like any file this program creates.
        const int opened =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (opened >= 0) {
            fd.Reset(opened);
            temporary.emplace(std::move(candidate));
        } else if (errno != EEXIST) {
            return false;
        }
    }
    if (!temporary)
        return false;

    if (old) {
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
            // Only possible with the privilege to do so; otherwise the file becomes ours.
            [[maybe_unused]] const int ignored = ::fchown(fd.Get(), old->st_uid, old->st_gid);
        }
        if (::fchmod(fd.Get(), old->st_mode & 07777) != 0)
            return false;
    }
    if (!WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0 || ::close(fd.Release()) != 0)
        return false;

    IniReplaceHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        if (const int error = hook(temporary->Path()); error != 0) {
            errno = error;
            return false;
        }
    }

    if (::rename(temporary->Path().c_str(), target.c_str()) != 0)
        return false;
    temporary->Keep();

    // Make the rename itself durable; the data is already safe, so a failure here is not one.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
    return true;
}

} // namespace

void SetIniReplaceHook(IniReplaceHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    std::optional<std::string> value = IniText::FindValue(ReadForLookup(path_), section, key);
    return value ? std::move(*value) : std::string(def);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    const std::optional<std::string> value = IniText::FindValue(ReadForLookup(path_), section, key);
    if (!value)
        return def;
    return IniText::ParseInteger(*value).value_or(def);
}

bool IniFile::SectionExists(std::string_view section) const {
    return IniText::HasSection(ReadForLookup(path_), section);
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return IniText::FindValue(ReadForLookup(path_), section, key).has_value();
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    return IniText::SectionKeys(ReadForLookup(path_), section);
}

IniFile::Edit IniFile::BeginEdit() const {
    return Edit(path_);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Edit edit = BeginEdit();
    edit.WriteString(section, key, value);
    edit.Commit();
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Edit edit = BeginEdit();
    edit.DeleteKey(section, key);
    edit.Commit();
}

void IniFile::EraseSection(std::string_view section) {
    Edit edit = BeginEdit();
    edit.EraseSection(section);
    edit.Commit();
}

void IniFile::Edit::Fail() const {
    throw EIniFileException("Unable to write to " + path_.string());
}

void IniFile::Edit::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    // A line break in a name or value would put other entries into the file.
    if (!IniText::IsWritableSection(section) || !IniText::IsWritableKey(key) ||
        !IniText::IsWritableValue(value))
        Fail();
    changes_.push_back(
        {Change::Kind::Set, std::string(section), std::string(key), std::string(value)});
}

void IniFile::Edit::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::Edit::DeleteKey(std::string_view section, std::string_view key) {
    changes_.push_back({Change::Kind::RemoveKey, std::string(section), std::string(key), {}});
}

void IniFile::Edit::EraseSection(std::string_view section) {
    changes_.push_back({Change::Kind::RemoveSection, std::string(section), {}, {}});
}

void IniFile::Edit::Commit() {
    if (changes_.empty())
        return;
    std::lock_guard lock(g_writeMutex);

    fs::path target;
    if (!ResolveLinks(path_, target))
        Fail();

    struct stat st {};
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        exists = true;
        // Like the read-only attribute on Windows, a file without any write permission is
        // refused even for a user whom the permission bits do not stop. Anything that is not a
        // plain file (a folder, a device) is never replaced.
        if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            Fail();
    } else if (errno != ENOENT) {
        Fail();
    }

    // An existing file that cannot be read is not replaced: its other keys would be lost.
    std::string text;
    if (exists && ReadWholeFile(target, text) != ReadResult::Ok)
        Fail();

    for (const Change& change : changes_) {
        switch (change.kind) {
        case Change::Kind::Set:
            IniText::SetValue(text, change.section, change.key, change.value);
            break;
        case Change::Kind::RemoveKey:
            IniText::RemoveKey(text, change.section, change.key);
            break;
        case Change::Kind::RemoveSection:
            IniText::RemoveSection(text, change.section);
            break;
        }
    }

    if (!ReplaceFile(target, text, exists ? &st : nullptr))
        Fail();
    changes_.clear();
}
