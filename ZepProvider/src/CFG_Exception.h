// Configuration errors: the failure kinds that the class registries throw and
// the class providers and the top-level provider translate into CIM errors.
// They carry no data: the type alone says what went wrong, and the texts and
// ids a client sees are added where an exception is translated.
#ifndef CFG_EXCEPTION_H
#define CFG_EXCEPTION_H

#include <exception>

class CFG_Exception : public std::exception {
public:
    CFG_Exception() {}
    virtual ~CFG_Exception() throw() {}
};

// No entry under an instance name, or iteration past the end.
class CFG_NoInstance : public CFG_Exception {
public:
    CFG_NoInstance() {}
    virtual ~CFG_NoInstance() throw() {}
};

// A registry refuses to create an instance (always, in this library).
class CFG_InstanceCreationFailed : public CFG_Exception {
public:
    CFG_InstanceCreationFailed() {}
    virtual ~CFG_InstanceCreationFailed() throw() {}
};

// A registry refuses to delete an instance (always, in this library).
class CFG_InstanceDeletionFailed : public CFG_Exception {
public:
    CFG_InstanceDeletionFailed() {}
    virtual ~CFG_InstanceDeletionFailed() throw() {}
};

// Kept for read and write failures; the top-level provider maps them to a
// bare CIM "failed" error. Nothing throws them today.
class CFG_ReadError : public CFG_Exception {
public:
    CFG_ReadError() {}
    virtual ~CFG_ReadError() throw() {}
};

class CFG_WriteError : public CFG_Exception {
public:
    CFG_WriteError() {}
    virtual ~CFG_WriteError() throw() {}
};

// Configuration error ids, as they stand in the tags of CIM error descriptions.
#define CFG_ID_BELOW_MINIMUM   "CFG_000_0002"
#define CFG_ID_ABOVE_MAXIMUM   "CFG_000_0003"
#define CFG_ID_TOO_LONG        "CFG_000_0004"
#define CFG_ID_CREATE_REFUSED  "CFG_000_0005"
#define CFG_ID_DELETE_REFUSED  "CFG_000_0006"

#endif  // CFG_EXCEPTION_H
