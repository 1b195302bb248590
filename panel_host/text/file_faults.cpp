#include "text/file_faults.h"

#include <algorithm>

#include "text/terminal_text.h"

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

std::string shownText(const std::string& text, std::size_t room)
{
    std::string shown;
    std::size_t at = 0;
    while (at < text.size() && shown.size() < room)
        at += appendSafe(shown, text, at);
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
