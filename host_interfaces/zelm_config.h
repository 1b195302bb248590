// zelm_config: a reader over one named block of the installation's settings
// (library "zelm_config").
//
// Settings live in XML files in the installation's config folder,
// $QV_ROOT/$QV_SYSTEM/config/. The name "F.X" opens F.xml there and stands on
// the element among the root element's children whose attribute id is X
// (matched exactly); that element's child elements, in document order, are
// the entries. A name without a dot stands on the root element's children.
// A missing variable, file or element, or malformed XML, reads as no entries.
// The reader owns a parsed copy of the file; it never throws.
#pragma once

#include "zelm_host_api.h"
#include "zelm_string.h"

class ZELM_CONFIG_API zelm_config {
public:
    explicit zelm_config(const zelm_string& name) noexcept;
    ~zelm_config();
    zelm_config(const zelm_config&) = delete;
    zelm_config& operator=(const zelm_config&) = delete;

    bool isChildValid() const noexcept;
    // Moves to the next entry; false when none is left.
    bool nextChild() noexcept;
    // The attribute of the current entry, or the empty text when it has no
    // such attribute or the reader stands on no entry.
    zelm_string childAttr(const zelm_string& attribute) const noexcept;

private:
    struct state;
    state* state_;
};
