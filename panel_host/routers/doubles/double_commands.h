// double_commands: the doubles' misbehaviours as lines of text, for
// router_double's standard input and for a test or soak that drives a
// double by script. One line, one command; the answer is "" when it was
// carried out, else what is wrong with it ("state" answers the routing).
//
//   route OUTPUT INPUT      another controller routes; every client hears of it
//   set OUTPUT INPUT        the routing changes and nobody is told
//   tally OUTPUT            SW-P-08: a tally (03) of one output, unasked
//   dump                    the whole routing, unasked (SW-P-08 tally dump,
//                           Videohub routing block)
//   restart SHIFT [MS]      every client dropped; after MS (500) listening again
//                           with every output moved SHIFT inputs on
//   late MS                 stop listening; listen again after MS
//   drop                    close every connection
//   refuse on|off           stop listening / listen again
//   silence on|off          read requests, answer nothing
//   nak COUNT               SW-P-08: NAK the next COUNT good frames
//   corrupt                 SW-P-08: a bad checksum on the next frame sent
//   dump-answer dump|tallies|none   SW-P-08: how a tally dump request is answered
//   slow BYTES              read BYTES every 10 ms from each client (0: at once)
//   junk COUNT              COUNT pieces of junk (bytes outside frames and a bad
//                           frame; a block without a header)
//   flood COUNT             COUNT reports of routes being made
//   flood-labels COUNT      Videohub: COUNT changes of input 1's label
//   out-of-range            bytes beyond their fields, indices beyond 65,536
//   relabel DB INDEX TEXT   Videohub: a label changes (0 inputs, 1 outputs)
//   lock OUTPUT             Videohub: another client locks an output
//   state                   answers "routes I I I ..." (per output, its input)
//
// Numbers are wire numbers (from 0), as the doubles count.
#pragma once

#include <string>

#include "routers/doubles/router_double.h"

std::string runDoubleCommand(router_double& router, const std::string& text);
