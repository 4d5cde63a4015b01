// Marks a hot loop for function multi-versioning: on x86-64 an AVX2/FMA copy
// (x86-64-v3) is built beside the default one and the loader picks the one the
// processor can run. CMake defines VARNESK_MULTIVERSION only for x86-64 targets;
// elsewhere the mark is empty and the plain copy is built.
#pragma once

// An attribute cannot be named any other way: this is the project's one macro of the kind.
#if defined(VARNESK_MULTIVERSION)
#define VARNESK_TARGET_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define VARNESK_TARGET_CLONES
#endif
