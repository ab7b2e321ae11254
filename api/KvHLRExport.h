#pragma once

// Marks the public API of the Kelvar_HLR library; everything else has hidden visibility.
#if defined(_WIN32)
#if defined(KVHLR_BUILDING)
#define KVHLR_API __declspec(dllexport)
#else
#define KVHLR_API __declspec(dllimport)
#endif
#else
#define KVHLR_API __attribute__((visibility("default")))
#endif
