#include "event_views.h"

zelm_string buttonEvent::panel() const noexcept { return zelm_string(record_->panel); }

zelm_string buttonEvent::id() const noexcept { return zelm_string(record_->id); }

zelm_string buttonEvent::command() const noexcept
{
    return record_->text != nullptr ? zelm_string(record_->text->command) : zelm_string();
}

zelm_string buttonEvent::value() const noexcept
{
    return record_->text != nullptr ? zelm_string(record_->text->value) : zelm_string();
}

zelm_string parameterEvent::command() const noexcept
{
    return text_ != nullptr ? zelm_string(text_->command) : zelm_string();
}

zelm_string parameterEvent::value() const noexcept
{
    return text_ != nullptr ? zelm_string(text_->value) : zelm_string();
}

zelm_string databaseEvent::name() const noexcept { return zelm_string(record_->name); }
