#include "registration.h"

// Placeholder until registration is built: nothing is registered yet.
void register_installation(const char*, const char*, const char*, const char*, const char*, const char*,
                           int32_t)
{
}
