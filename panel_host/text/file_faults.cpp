#include "text/file_faults.h"

#include <algorithm>

std::string file_fault::text() const
{
    std::string shown = file;
    if (line > 0)
        shown += ":" + std::to_string(line);
    return shown + (error ? ": " : ": warning: ") + message;
}

void fault_list::error(const std::string& file, int line, const std::string& message)
{
    add(true, file, line, message);
}

void fault_list::warning(const std::string& file, int line, const std::string& message)
{
    add(false, file, line, message);
}

void fault_list::add(bool error, const std::string& file, int line, const std::string& message)
{
    ++(error ? errors_ : warnings_);
    int& count = perFile_[file];
    if (count == 0)
        fileOrder_.push_back(file);
    if (++count > keptPerFile)
        return;
    kept_.push_back(file_fault{error, file, line, message});
}

void fault_list::print(std::ostream& out) const
{
    for (const auto& file : fileOrder_) {
        std::vector<const file_fault*> ofFile;
        for (const auto& fault : kept_)
            if (fault.file == file)
                ofFile.push_back(&fault);
        std::stable_sort(ofFile.begin(), ofFile.end(),
                         [](const file_fault* a, const file_fault* b) { return a->line < b->line; });
        for (const file_fault* fault : ofFile)
            out << fault->text() << '\n';
        const int count = perFile_.at(file);
        if (count > keptPerFile)
            out << file << ": " << count - keptPerFile << " more faults not shown\n";
    }
}

void fault_list::append(const fault_list& other)
{
    for (const auto& file : other.fileOrder_) {
        int& count = perFile_[file];
        if (count == 0)
            fileOrder_.push_back(file);
        count += other.perFile_.at(file);
    }
    for (const auto& fault : other.kept_)
        kept_.push_back(fault);
    errors_ += other.errors_;
    warnings_ += other.warnings_;
}

namespace {

// The length of the UTF-8 sequence at `at`, 0 when there is none.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) >> 6) != 2)
            return 0;
    return length;
}

}  // namespace

std::string shownText(const std::string& text, std::size_t room)
{
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    std::size_t at = 0;
    while (at < text.size() && shown.size() < room) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8Length(text, at);
        if (length == 0 || c < 0x20 || c == 0x7f) {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 15];
            ++at;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    if (at < text.size())
        shown += "...";
    return shown;
}

int lineOfOffset(const std::string& text, std::ptrdiff_t offset)
{
    if (offset < 0)
        return 0;
    const auto end = text.begin() + std::min<std::ptrdiff_t>(offset, static_cast<std::ptrdiff_t>(text.size()));
    return 1 + static_cast<int>(std::count(text.begin(), end, '\n'));
}
