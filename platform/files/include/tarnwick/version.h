/** @file
 * The version of the Tarnwick INI controls, defined here once: the build, the packages and the programs
 * take it from here. Usable from C and C++. */
#ifndef TARNWICK_VERSION_H
#define TARNWICK_VERSION_H

/** The major version: a new one may break programs built against an earlier one. */
#define TARNWICK_VERSION_MAJOR 1
/** The minor version: what it adds keeps programs built against earlier ones of the same major working. */
#define TARNWICK_VERSION_MINOR 0
/** The patch level: fixes only. */
#define TARNWICK_VERSION_PATCH 0

/** @cond */
#define TARNWICK_VERSION_STRING_(major, minor, patch) #major "." #minor "." #patch
#define TARNWICK_VERSION_STRING_OF(major, minor, patch) TARNWICK_VERSION_STRING_(major, minor, patch)
/** @endcond */
/** The version as text: "1.0.0". */
#define TARNWICK_VERSION_STRING \
    TARNWICK_VERSION_STRING_OF(TARNWICK_VERSION_MAJOR, TARNWICK_VERSION_MINOR, TARNWICK_VERSION_PATCH)

/** One number that grows with each version, for preprocessor tests: 10000 * major + 100 * minor + patch. */
#define TARNWICK_VERSION \
    (TARNWICK_VERSION_MAJOR * 10000 + TARNWICK_VERSION_MINOR * 100 + TARNWICK_VERSION_PATCH)

#endif
