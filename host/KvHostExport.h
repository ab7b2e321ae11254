#pragma once

// Marks the API of the host platform layer (kelvar_host).
#if defined(_WIN32)
#if defined(KVHOST_BUILDING)
#define KVHOST_API __declspec(dllexport)
#else
#define KVHOST_API __declspec(dllimport)
#endif
#else
#define KVHOST_API __attribute__((visibility("default")))
#endif
