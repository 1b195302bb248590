// What the panel's event operations receive: small views over the host's
// record, built by the frame on its stack and gone when the operation
// returns. Texts come back as fresh copies; a panel copies what it keeps.
// A null text pointer in a record reads as the empty text.
#pragma once

#include <cstdint>

#include "command_text.h"
#include "event_records.h"
#include "zelm_string.h"

class buttonEvent {
public:
    explicit buttonEvent(const buttonRecord* record) noexcept : record_(record) {}
    zelm_string panel() const noexcept;
    zelm_string id() const noexcept;
    zelm_string command() const noexcept;  // the event text's command
    zelm_string value() const noexcept;    // the event text's value

private:
    const buttonRecord* record_;
};

class revertiveEvent {
public:
    explicit revertiveEvent(const revertiveRecord* record) noexcept : record_(record) {}
    std::int32_t device() const noexcept { return record_->device; }
    std::int32_t index() const noexcept { return record_->index; }
    std::int32_t state() const noexcept { return record_->state; }

private:
    const revertiveRecord* record_;
};

class parameterEvent {
public:
    explicit parameterEvent(const commandText* text) noexcept : text_(text) {}
    zelm_string command() const noexcept;  // the parameter name
    zelm_string value() const noexcept;    // the text after the first '='

private:
    const commandText* text_;
};

class databaseEvent {
public:
    explicit databaseEvent(const databaseRecord* record) noexcept : record_(record) {}
    std::int32_t device() const noexcept { return record_->device; }
    std::int32_t database() const noexcept { return record_->database; }
    std::int32_t index() const noexcept { return record_->index; }
    zelm_string name() const noexcept;

private:
    const databaseRecord* record_;
};

class event7 {
public:
    explicit event7(std::intptr_t data) noexcept : data_(data) {}
    std::intptr_t data() const noexcept { return data_; }

private:
    std::intptr_t data_;
};
