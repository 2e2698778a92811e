/* The suite's install registry: named install folders per product, shared by every program of
   the suite. All functions return non-zero on success and 0 otherwise. */
#ifndef VLREGUT_VLREGUT_H
#define VLREGUT_VLREGUT_H

#if defined(_WIN32)
#if defined(VLREGUT_BUILDING)
#define VLREGUT_API __declspec(dllexport)
#elif defined(VLREGUT_NO_DLLIMPORT)
/* Calls go through the import library's thunks, so that a program may also bring definitions
   of its own (tests do). */
#define VLREGUT_API
#else
#define VLREGUT_API __declspec(dllimport)
#endif
#else
#define VLREGUT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Selects the product used by the calls below, for the whole process. Succeeds when the product
   exists in the user's or the machine-wide layer. Fails for an unknown, invalid or over-long id
   (at most 259 bytes), for flags other than 0, or when a store cannot be read; a failure also
   clears any earlier selection. */
VLREGUT_API int VlRegInitializeProduct(const char* productId, int flags);

/* Copies the selected product's value of entry, with its terminating NUL, into buffer. Fails
   without touching buffer when nothing is selected, the entry does not exist, a store cannot be
   read, or the value and its NUL do not fit in capacity bytes: values are never truncated. */
VLREGUT_API int VlRegGetInstallDir(const char* entry, char* buffer, int capacity);

/* Stores folder under entry for the selected product in the user's layer. folder holds at most
   255 bytes and no CR or LF, so that it always reads back through a 256-byte buffer. Fails when
   nothing is selected, entry or folder is invalid, or the store cannot be read or written. */
VLREGUT_API int VlRegSetInstallDir(const char* entry, const char* folder);

#ifdef __cplusplus
}
#endif

#endif
