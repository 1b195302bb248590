// Construction, the closing notice, and the dispatcher with its parameter
// answer blocks.
#include "zelm_script_helper.h"

#include <cstdlib>
#include <cstring>

zelm_script_helper::zelm_script_helper(zelm_host_link* link, const char* data) noexcept
    : hostLink(link), loadData(data), alarmHandling(false), outstanding_(nullptr), outstandingCount_(0),
      outstandingCapacity_(0)
{
}

zelm_script_helper::~zelm_script_helper()
{
    // The closing notice comes last: the panel's own teardown has already
    // run in the derived destructor. Its answer is not ours to give back.
    if (hostLink != nullptr)
        hostLink->send("AS", zelmSendCommand);
    // Blocks the host still holds are the host's now: freeing them here
    // would leave the host with dangling text. Only the bookkeeping goes.
    std::free(outstanding_);
}

void zelm_script_helper::onEvent7(event7) {}

void zelm_script_helper::onDatabaseChange(databaseEvent) {}

char* zelm_script_helper::hostEvent(std::intptr_t data, std::int32_t code) noexcept
{
    // Nothing may leave the module: a throwing panel operation ends the
    // event with no answer.
    try {
        switch (code) {
        case zelmEventRevertive:
            if (data != 0)
                static_cast<void>(onRevertive(revertiveEvent(reinterpret_cast<const revertiveRecord*>(data))));
            return nullptr;
        case zelmEventButton:
            if (data != 0)
                dispatchButton(reinterpret_cast<const buttonRecord*>(data));
            return nullptr;
        case zelmEventParameter: {
            const commandText text(reinterpret_cast<const char*>(data));
            const zelm_string result = onParameter(parameterEvent(&text));
            return answerBlock(result);
        }
        case zelmEventTimer:
            onTimer(static_cast<std::int32_t>(data));
            return nullptr;
        case zelmEventRelease:
            releaseBlock(data);
            return nullptr;
        case zelmEventDatabaseChange:
            if (data != 0)
                onDatabaseChange(databaseEvent(reinterpret_cast<const databaseRecord*>(data)));
            return nullptr;
        case zelmEventSeven:
            onEvent7(event7(data));
            return nullptr;
        default:
            return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

void zelm_script_helper::dispatchButton(const buttonRecord* record)
{
    const buttonEvent event(record);
    if (alarmHandling) {
        const zelm_string id = event.id();
        if (id == "ActionAll" && event.command() == "alarm") {
            applyAlarmState(event.value());
            return;
        }
        if (id == "AckAll") {
            applyAlarmState(zelm_string("4"));
            return;
        }
    }
    onButton(event);
}

char* zelm_script_helper::answerBlock(const zelm_string& text)
{
    const int length = text.length();
    if (length <= 0)
        return nullptr;
    if (outstandingCount_ == outstandingCapacity_) {
        const int capacity = outstandingCapacity_ == 0 ? 4 : outstandingCapacity_ * 2;
        void* grown = std::realloc(outstanding_, sizeof(char*) * static_cast<std::size_t>(capacity));
        if (grown == nullptr)
            return nullptr;  // an answer we could not track would never be freed safely
        outstanding_ = static_cast<char**>(grown);
        outstandingCapacity_ = capacity;
    }
    auto* block = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, text.c_str(), static_cast<std::size_t>(length) + 1);
    outstanding_[outstandingCount_++] = block;
    return block;
}

void zelm_script_helper::releaseBlock(std::intptr_t data)
{
    // Only a block we handed out and have not seen back is freed; a second
    // release or a pointer of anyone else's would corrupt the heap.
    if (data == 0)
        return;
    char* block = reinterpret_cast<char*>(data);
    for (int i = 0; i < outstandingCount_; ++i) {
        if (outstanding_[i] == block) {
            std::free(block);
            outstanding_[i] = outstanding_[--outstandingCount_];
            return;
        }
    }
}
