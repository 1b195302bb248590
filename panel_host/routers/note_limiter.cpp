#include "routers/note_limiter.h"

using boost::system::error_code;

note_limiter::note_limiter(boost::asio::io_context& context, const device_model& device, router_reports& reports,
                           int perSecond)
    : device_(device), reports_(reports), perSecond_(perSecond), timer_(context), alive_(std::make_shared<bool>(true))
{
}

note_limiter::~note_limiter()
{
    alive_.reset();
    // Cancelling can only fail on a broken reactor; the handler sees
    // `alive_` gone anyway.
    try {
        timer_.cancel();
    } catch (...) {
    }
}

void note_limiter::tell(const std::string& text, router_reports::level how)
{
    if (!open_) {
        open_ = true;
        std::weak_ptr<bool> alive = alive_;
        timer_.expires_after(std::chrono::seconds(1));
        timer_.async_wait([this, alive](const error_code& error) {
            if (alive.expired() || error)
                return;
            closeSecond();
        });
    }
    budget& of = how == router_reports::level::detail ? details_ : notes_;
    if (of.told < perSecond_) {
        ++of.told;
        reports_.reportLink(device_, text, how);
        return;
    }
    ++of.leftOut;
    ++leftOutInAll_;
    if (how == router_reports::level::warning)
        of.warning = true;
}

void note_limiter::closeSecond()
{
    open_ = false;
    if (notes_.leftOut > 0)
        reports_.reportLeftOut(device_, notes_.leftOut,
                               notes_.warning ? router_reports::level::warning : router_reports::level::note);
    if (details_.leftOut > 0)
        reports_.reportLeftOut(device_, details_.leftOut, router_reports::level::detail);
    notes_ = budget();
    details_ = budget();
}
