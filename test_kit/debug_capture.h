// Captures what this process writes to the debugger output while the
// capture lives, for tests of the frame's debugger lines.
//
//   debug_capture capture;
//   ...code that calls zelm_platform::debugOutput...
//   EXPECT_EQ(capture.text(), "first line\nsecond line\n");
//
// text() gives every message followed by '\n', in order, and ends the
// capture. Elsewhere the debugger output is standard error, captured as
// GoogleTest captures it. On Windows it is OutputDebugStringA, which a
// program without a debugger delivers to the system's debug monitor channel
// (the shared "DBWIN_BUFFER" and its two events); the capture is that
// monitor, taking only this process's messages. A debugger attached to the
// test, or another monitor running at the same time, takes the messages
// instead. Header-only, for test programs (it uses GoogleTest on Linux).
#pragma once

#include <string>

#if defined(_WIN32)
#  include <windows.h>

#  include <cstring>
#  include <thread>
#else
#  include <gtest/gtest.h>
#endif

#if defined(_WIN32)

class debug_capture {
public:
    debug_capture()
    {
        // One capture at a time on the machine: test programs run side by
        // side, and the channel is shared by every process.
        lock_ = CreateMutexA(nullptr, FALSE, "zelm_debug_capture");
        if (lock_ != nullptr)
            WaitForSingleObject(lock_, waitLimit);
        bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
        dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bufferSize, "DBWIN_BUFFER");
        if (mapping_ != nullptr)
            view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, bufferSize));
        if (bufferReady_ == nullptr || dataReady_ == nullptr || view_ == nullptr) {
            text_ = "debug_capture: the debug monitor channel cannot be opened\n";
            return;
        }
        monitor_ = std::thread([this] { watch(); });
        SetEvent(bufferReady_);
    }

    ~debug_capture()
    {
        finish();
        if (view_ != nullptr)
            UnmapViewOfFile(view_);
        for (HANDLE handle : {mapping_, dataReady_, bufferReady_})
            if (handle != nullptr)
                CloseHandle(handle);
        if (lock_ != nullptr) {
            ReleaseMutex(lock_);
            CloseHandle(lock_);
        }
    }

    debug_capture(const debug_capture&) = delete;
    debug_capture& operator=(const debug_capture&) = delete;

    std::string text()
    {
        finish();
        return text_;
    }

private:
    static constexpr DWORD bufferSize = 4096;
    static constexpr DWORD waitLimit = 30000;  // ms; only ever reached when broken
    static constexpr const char* endMark = "\x01zelm_debug_capture end";

    // Every message written before the end mark has been taken once the
    // monitor sees the mark: the channel carries one message at a time.
    void finish()
    {
        if (!monitor_.joinable())
            return;
        OutputDebugStringA(endMark);
        monitor_.join();
    }

    void watch()
    {
        const DWORD self = GetCurrentProcessId();
        for (;;) {
            if (WaitForSingleObject(dataReady_, waitLimit) != WAIT_OBJECT_0) {
                text_ += "debug_capture: no end mark arrived\n";
                return;
            }
            DWORD writer = 0;
            std::memcpy(&writer, view_, sizeof writer);
            const char* message = view_ + sizeof writer;
            std::string line(message, strnlen(message, bufferSize - sizeof writer));
            SetEvent(bufferReady_);
            if (writer != self)
                continue;  // another program's message
            if (line == endMark)
                return;
            text_ += line;
            text_ += '\n';
        }
    }

    HANDLE lock_ = nullptr;
    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE mapping_ = nullptr;
    const char* view_ = nullptr;
    std::thread monitor_;
    std::string text_;
};

#else

class debug_capture {
public:
    debug_capture() { testing::internal::CaptureStderr(); }
    ~debug_capture() { text(); }
    debug_capture(const debug_capture&) = delete;
    debug_capture& operator=(const debug_capture&) = delete;

    std::string text()
    {
        if (capturing_) {
            capturing_ = false;
            text_ = testing::internal::GetCapturedStderr();
        }
        return text_;
    }

private:
    bool capturing_ = true;
    std::string text_;
};

#endif
