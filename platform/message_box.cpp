// The replaceable message-box handler; the default comes from the backend.
#include "platform.h"

int plat_default_message_box(void* owner, const char* text, const char* caption, unsigned type);
int plat_default_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type);

namespace {
MessageBoxHandler g_handler = nullptr;
MessageBoxHandler g_utf8_handler = nullptr;
}

MessageBoxHandler plat_set_utf8_message_box_handler(MessageBoxHandler handler)
{
    MessageBoxHandler old = g_utf8_handler ? g_utf8_handler : plat_default_message_box_utf8;
    g_utf8_handler = handler;
    return old;
}

int plat_message_box_utf8(void* owner, const char* text, const char* caption, unsigned type)
{
    if (g_utf8_handler)
        return g_utf8_handler(owner, text, caption, type);
    return plat_default_message_box_utf8(owner, text, caption, type);
}

MessageBoxHandler plat_set_message_box_handler(MessageBoxHandler handler)
{
    MessageBoxHandler old = g_handler ? g_handler : plat_default_message_box;
    g_handler = handler;
    return old;
}

int plat_message_box(void* owner, const char* text, const char* caption, unsigned type)
{
    if (g_handler)
        return g_handler(owner, text, caption, type);
    return plat_default_message_box(owner, text, caption, type);
}
