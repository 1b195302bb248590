// router_doubles: an SW-P-08 router and a Videohub router of our own,
// written from the protocol documents, for tests and for trying panel_host
// by hand (router_double). They listen on 127.0.0.1 only, serve several
// clients at once, report every change to every client, and fail on command.
//
// Both run on a Boost.Asio io_context; tests run them on the same event loop
// as the links under test. Numbers are wire numbers (from 0).
#pragma once

#include "routers/doubles/router_double.h"
#include "routers/doubles/swp08_double.h"
#include "routers/doubles/videohub_double.h"
