// Stand-in for the host system's configuration library: settings blocks are
// elements of XML files in $QV_ROOT/$QV_SYSTEM/config/.
#include "zelm_config.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <pugixml.hpp>

// Built with zelm_string rather than the C++ library's strings: this library
// is built for the MSVC C++ ABI too, where no C++ library exists.

struct zelm_config::state {
    pugi::xml_document document;
    pugi::xml_node current;
};

namespace {

#if defined(_WIN32)
const char pathSeparator = '\\';
#else
const char pathSeparator = '/';
#endif

// Where the settings file of block `file` lives, or empty when the
// installation variables are not set.
zelm_string settingsPath(const zelm_string& file)
{
    const char* root = std::getenv("QV_ROOT");
    const char* system = std::getenv("QV_SYSTEM");
    if (root == nullptr || system == nullptr || file.isEmpty())
        return zelm_string();
    zelm_string path(root);
    path += pathSeparator;
    path += system;
    path += pathSeparator;
    path += "config";
    path += pathSeparator;
    path += file;
    path += ".xml";
    return path;
}

// The first entry of block `name` in `document`, or a null node.
pugi::xml_node openBlock(pugi::xml_document& document, const zelm_string& name)
{
    zelm_string file;
    zelm_string id;
    const bool hasId = name.split('.', file, id);
    // A file name must not climb out of the config folder.
    if (std::strchr(file.c_str(), '/') != nullptr || std::strchr(file.c_str(), '\\') != nullptr || file == "..")
        return pugi::xml_node();
    const zelm_string path = settingsPath(file);
    if (path.isEmpty() || !document.load_file(path.c_str()))
        return pugi::xml_node();
    pugi::xml_node block = document.document_element();
    if (hasId)
        block = block.find_child_by_attribute("id", id.c_str());
    pugi::xml_node entry = block.first_child();
    while (entry && entry.type() != pugi::node_element)
        entry = entry.next_sibling();
    return entry;
}

}  // namespace

zelm_config::zelm_config(const zelm_string& name) noexcept : state_(new (std::nothrow) state)
{
    if (state_ != nullptr)
        state_->current = openBlock(state_->document, name);
}

zelm_config::~zelm_config() { delete state_; }

bool zelm_config::isChildValid() const noexcept { return state_ != nullptr && state_->current; }

bool zelm_config::nextChild() noexcept
{
    if (!isChildValid())
        return false;
    pugi::xml_node next = state_->current.next_sibling();
    while (next && next.type() != pugi::node_element)
        next = next.next_sibling();
    state_->current = next;
    return isChildValid();
}

zelm_string zelm_config::childAttr(const zelm_string& attribute) const noexcept
{
    if (!isChildValid())
        return zelm_string();
    return zelm_string(state_->current.attribute(attribute.c_str()).value());
}
