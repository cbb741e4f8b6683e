#pragma once
// An initialisation file held as its lines, so that a change to one key keeps every other
// section, key, comment and blank line as it was. Names compare without regard to ASCII case.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniDocument {
public:
    enum class Encoding { Utf8, Utf8WithMark, Utf16LE, Utf16BE };

    // Text in UTF-8, or UTF-16 in either byte order when the bytes start with its mark.
    static IniDocument Parse(std::string_view bytes);
    std::string Serialize() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void RemoveKey(std::string_view section, std::string_view key);
    void RemoveSection(std::string_view section);

private:
    struct Range {
        std::size_t header = 0; // index of the "[name]" line
        std::size_t end = 0;    // one past the section's last line
    };
    std::optional<Range> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;

    std::vector<std::string> lines_;
    std::string lineEnd_ = "\n";
    Encoding encoding_ = Encoding::Utf8;
};

} // namespace platform
