// Tamra grab library: the one export macro of the public interface.
#pragma once

#if defined(_WIN32)
#if defined(TAMRA_BUILDING)
#define TAMRA_API __declspec(dllexport)
#else
#define TAMRA_API __declspec(dllimport)
#endif
#else
#define TAMRA_API __attribute__((visibility("default")))
#endif
