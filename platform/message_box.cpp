// The replaceable message-box handlers (code page 950 texts and UTF-8
// texts); the defaults come from the backend.
#include "platform.h"

int plat_default_message_box(void* owner, const char* text, const char* caption, unsigned type);
int plat_default_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type);

namespace {

// One kind of box: the handler set, else the backend's own.
struct BoxHandler {
    MessageBoxHandler installed;
    MessageBoxHandler standard;

    MessageBoxHandler current() const { return installed ? installed : standard; }
    // Installs `handler` (null: the backend's again); returns the one that
    // was in force.
    MessageBoxHandler replace(MessageBoxHandler handler)
    {
        MessageBoxHandler old = current();
        installed = handler;
        return old;
    }
};

BoxHandler g_code_page_box = {nullptr, plat_default_message_box};
BoxHandler g_utf8_box = {nullptr, plat_default_message_box_utf8};

}  // namespace

MessageBoxHandler plat_set_utf8_message_box_handler(MessageBoxHandler handler)
{
    return g_utf8_box.replace(handler);
}

int plat_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type)
{
    return g_utf8_box.current()(owner, text, caption, type);
}

MessageBoxHandler plat_set_message_box_handler(MessageBoxHandler handler)
{
    return g_code_page_box.replace(handler);
}

int plat_message_box(void* owner, const char* text, const char* caption, unsigned type)
{
    return g_code_page_box.current()(owner, text, caption, type);
}
