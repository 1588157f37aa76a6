/* Build configuration of the OpenWBEM 3.0 provider API as this project carries it.
 * Every OW_ header includes this file first, as the installed OpenWBEM headers do. */
#ifndef OW_CONFIG_H_INCLUDED
#define OW_CONFIG_H_INCLUDED

/* The object manager compares a provider's getOWVersion() with this text byte for byte. */
#define OW_VERSION "3.0.3"

#if defined(__GNUC__)
#define OW_DEPRECATED __attribute__((deprecated))
#else
#define OW_DEPRECATED
#endif

#endif
