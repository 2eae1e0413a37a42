#pragma once
// Profile (INI) files: the settings file beside the executable and the ".rcp" configuration
// files. They are read and written the way the Windows profile services do it, so that files
// written there by earlier versions read correctly here and files written here open there:
//
// - "[Section]" headers and "key=value" lines; section and key names match without regard to
//   ASCII case; names and values are read with surrounding blanks removed, and keys may contain
//   blanks ("Date last save"). Lines starting with ';' and lines without '=' are not entries.
// - A value enclosed in a matching pair of double or single quotes reads without the quotes.
// - Values are bytes as they stand in the file (the system's 8-bit code page); no conversion.
// - Reading accepts CR LF and LF line ends. Written lines are "Key=value" ending in CR LF.
// - A write replaces the key's line in place (spelled as the caller spells the key), puts a new
//   key after the last non-blank line of its section and a new section at the end of the file,
//   preceded by a blank line. Every other byte of the file stays as it was.
//
// Every read looks at the file as it is on disk at that moment; nothing is cached, because
// another program may change the file. A write reads the file, changes the text and replaces the
// file atomically: the new text goes to a hidden temporary file in the same folder, which is
// synced and renamed over the target (through a symbolic link to the file it points to), with
// the old file's permission bits. A failed write leaves the old file as it was and no temporary
// behind, and raises EIniFileException "Unable to write to <path>".
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Pure functions on the text of a profile file; IniFile adds the file around them.
namespace IniText {

// Blanks around names and values: spaces and tabs (and a stray CR before the line end).
std::string_view TrimBlanks(std::string_view s);

// The value of `key` in the first section named `section`, quotes removed; nullopt when the
// section or the key is absent. An entry present with an empty value gives "".
std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key);

// A decimal 32-bit integer with an optional sign and surrounding blanks; nullopt otherwise.
std::optional<int32_t> ParseInteger(std::string_view value);

bool HasSection(std::string_view text, std::string_view section);

// The keys of the first section named `section`, in file order, each once (first spelling).
std::vector<std::string> SectionKeys(std::string_view text, std::string_view section);

// Sets `key` of `section` to `value` (see the rules at the top of this file). The names are
// used with surrounding blanks removed. The caller checks them with IsWritable first.
void SetValue(std::string& text, std::string_view section, std::string_view key,
              std::string_view value);

// Removes the lines of `key` in the first section named `section`.
void RemoveKey(std::string& text, std::string_view section, std::string_view key);

// Removes every section named `section`: its header and all lines up to the next header.
void RemoveSection(std::string& text, std::string_view section);

// Whether a section name, key and value can be written so that they read back as written: no
// line breaks or NUL anywhere, a non-empty section without ']', a non-empty key without '='
// that does not start like a comment or a section header.
bool IsWritableSection(std::string_view section);
bool IsWritableKey(std::string_view key);
bool IsWritableValue(std::string_view value);

} // namespace IniText

class IniFile {
public:
    class Edit;

    explicit IniFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }

    // Reads never raise: a missing or unreadable file reads as an empty one.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // A missing, empty or non-integer value gives `def`.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    bool SectionExists(std::string_view section) const; // a header for it is in the file
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSection(std::string_view section) const;

    // Each call is one atomic replace of the file; the file is created when missing. Raise
    // EIniFileException "Unable to write to <path>" on failure, the file unchanged.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

    // Collects several changes and replaces the file once, at Commit.
    [[nodiscard]] Edit BeginEdit() const;

private:
    std::filesystem::path path_;
};

// A batch of changes to one file. Commit reads the file as it is then, applies the changes in the
// order they were made and replaces the file once. An Edit destroyed without Commit changes
// nothing. A name or value that cannot be written raises EIniFileException when it is given.
class IniFile::Edit {
public:
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

    // Replaces the file (raises EIniFileException on failure, the file unchanged and the changes
    // kept for another try). With no changes it does nothing. The changes are cleared on success.
    void Commit();

private:
    friend class IniFile;
    explicit Edit(std::filesystem::path path) : path_(std::move(path)) {}

    struct Change {
        enum class Kind { Set, RemoveKey, RemoveSection } kind;
        std::string section, key, value;
    };
    [[noreturn]] void Fail() const;

    std::filesystem::path path_;
    std::vector<Change> changes_;
};

// Test seam: called with the temporary file after it has been written and synced, before it
// replaces the target. A nonzero result (an errno value) makes the write fail there, as a full
// disk or an I/O error would. An empty function removes the hook.
using IniReplaceHook = std::function<int(const std::filesystem::path& temporary)>;
void SetIniReplaceHook(IniReplaceHook hook);

class ScopedIniReplaceHook {
public:
    explicit ScopedIniReplaceHook(IniReplaceHook hook) { SetIniReplaceHook(std::move(hook)); }
    ~ScopedIniReplaceHook() { SetIniReplaceHook({}); }
    ScopedIniReplaceHook(const ScopedIniReplaceHook&) = delete;
    ScopedIniReplaceHook& operator=(const ScopedIniReplaceHook&) = delete;
};
