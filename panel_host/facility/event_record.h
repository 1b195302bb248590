// event_recorder: writes down, for one run of panel_host, everything that
// crossed the module boundary, so that another host can replay the run
// against another build of the module and compare (replay_host/ does it
// for the MSVC-ABI DLL under Wine).
//
// It stands between the component and the simulated host as the host link
// (send() is passed on), and the runner tells it of every call into the
// component: the export, each hostEvent and the deletion.
//
// The record, one item a line (panel_host --record-events FILE):
//
//   zelm-event-record 1                    first line: format and version
//   event N create TEXT                    the export, with the load data
//   event N revertive DEVICE RESERVED INDEX STATE          code 1
//   event N button RESERVED0 RESERVED1 PANEL ID TEXT       code 2 (TEXT: the
//                                          control's event text, or null)
//   event N parameter TEXT                 code 3
//   event N timer ID                       code 4
//   event N release M                      code 5 with what event M returned
//   event N database DEVICE DATABASE INDEX RESERVED NAME   code 6
//   event N code CODE WORD                 any other code, with its data word
//   event N destroy                        the host deletes the component
//   sent TEXT                              the component sent a command (kind 0)
//   answer TEXT                            ... and the host answered this
//   give-back K                            the component gave back (kind 5) the
//                                          answer to command K (numbered from 1
//                                          in the run), or null, or foreign (a
//                                          text the host never handed out, or
//                                          one given back more than
//                                          keptGivenBack give-backs ago, which
//                                          the simulated host no longer knows
//                                          either: answer_ledger.h)
//   send KIND TEXT                         send() with any other kind
//   returned TEXT                          what hostEvent returned; after create:
//                                          "component" or null
//
// Events are numbered from 1. TEXT is null or a text in double quotes in
// which \\, \", \n, \r, \t and \xHH (other control bytes) stand for
// themselves. Every line an event causes follows its event line, in the
// order it happened. "release M" is foreign, like a give-back, for a text
// no event returned or one released too long ago.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "facility/answer_ledger.h"
#include "zelm_host_link.h"

class event_recorder final : public zelm_host_link {
public:
    // Writes to `path`; ok() tells whether it could be opened.
    event_recorder(zelm_host_link& host, const std::string& path);
    ~event_recorder();
    event_recorder(const event_recorder&) = delete;
    event_recorder& operator=(const event_recorder&) = delete;

    bool ok() const { return out_.good(); }
    // Texts the record still tells apart (answers, and texts hostEvent
    // returned): those not given back, and the last given back.
    std::size_t kept() const { return answers_.size() + returned_.size(); }

    const char* send(const char* text, std::int32_t kind) override;

    void create(const std::string& data);
    void created(bool component);
    void event(std::intptr_t data, std::int32_t code);
    void returned(const char* result);
    void destroy();

private:
    void beginEvent(const std::string& what);

    zelm_host_link& host_;
    std::ofstream out_;
    int events_ = 0;
    int commands_ = 0;
    handout_book<int> answers_;   // answer text -> its command
    handout_book<int> returned_;  // text -> the event that returned it, until released
};

// A text as the record writes it: null, or in double quotes with escapes.
std::string recordText(const char* text);
