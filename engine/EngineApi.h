#pragma once
// The engine's public classes are exported by every Windows program that
// carries the engine (Packrook.exe, Quaylink.dll, Sledstub.dll), under the
// names g++ (mingw-w64) decorates their members with. A caller built with
// the same compiler includes these headers with PACKROOK_ENGINE_IMPORT
// defined and links against any one of the three.
#if defined(_WIN32) && defined(PACKROOK_ENGINE_IMPORT)
#define PACKROOK_ENGINE_API __declspec(dllimport)
#elif defined(_WIN32)
#define PACKROOK_ENGINE_API __declspec(dllexport)
#else
#define PACKROOK_ENGINE_API
#endif
