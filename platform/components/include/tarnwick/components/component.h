/** @file
 * The component interface between a control library (a plug-in) and a host, in plain C.
 *
 * A plug-in library exports exactly four functions (at the end of this file). Through them a host
 * registers the library's class in the per-user registry, creates instances of the class through a class
 * factory, and reads the class's static description (type information, version record, design-time face,
 * toolbox bitmap). An instance is a twc_control: a reference-counted dispatch object whose members are
 * called by dispatch id, which calls the host back through event sinks, and which has an extent in twips.
 *
 * Conventions
 *  - Every struct that may grow starts with `uint32_t size`. It only ever grows at the end. Whoever fills
 *    a struct sets size to what it filled; a reader MUST NOT read a field that ends beyond size.
 *    A caller that passes a struct to be filled (twc_error) sets size to its own sizeof.
 *  - Functions return a twc_status: TWC_OK (0) on success, TWC_S_FALSE (1) for a successful "no", a
 *    negative TWC_E_* value on failure. No C++ exception ever crosses this interface.
 *  - Text in names and messages is UTF-8. Values of type TWC_VT_STRING are counted UTF-16.
 *  - Memory that crosses the interface (string data in a variant, an error message) is allocated with
 *    malloc and released with free by whoever owns it (twc_variant_clear, twc_error_clear). Every module
 *    of a process shares one C library, so either side may release what the other allocated.
 *  - Threading model "Apartment": a control answers calls only on the thread that created it. A call of
 *    get_ids_of_names, invoke, advise, unadvise, set_extent or get_extent from another thread MUST fail
 *    with TWC_E_WRONG_THREAD and run nothing. add_ref, release, type_info and misc_status MAY be called
 *    from any thread.
 */
#ifndef TARNWICK_PLATFORM_COMPONENT_H
#define TARNWICK_PLATFORM_COMPONENT_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
typedef char16_t twc_char; /**< one UTF-16 unit; same representation in C and C++ */
#else
typedef uint_least16_t twc_char;
#endif

/** Version of this interface; twc_class_info.abi_version carries the version a plug-in was built with.
 * A host MUST refuse a plug-in whose major version differs from its own. */
#define TWC_ABI_VERSION 1

/* ---- Status ---------------------------------------------------------------------------------------- */

/** The result of a call: TWC_OK, TWC_S_FALSE or a negative TWC_E_* value. */
typedef int32_t twc_status;
#define TWC_OK 0                       /**< success */
#define TWC_S_FALSE 1                  /**< success, answer "no" (DllCanUnloadNow: not now) */
#define TWC_E_FAIL (-1)                /**< unspecified failure */
#define TWC_E_OUT_OF_MEMORY (-2)       /**< memory could not be allocated */
#define TWC_E_INVALID_ARG (-3)         /**< a null pointer or a size too small where one is required */
#define TWC_E_NO_INTERFACE (-4)        /**< DllGetClassObject: the interface id is not offered */
#define TWC_E_CLASS_NOT_AVAILABLE (-5) /**< DllGetClassObject: the class id is not this library's */
#define TWC_E_UNKNOWN_NAME (-6)        /**< get_ids_of_names: no member of that name */
#define TWC_E_MEMBER_NOT_FOUND (-7)    /**< invoke: unknown dispatch id, or the id has no such kind */
#define TWC_E_BAD_PARAM_COUNT (-8)     /**< invoke: wrong number of arguments */
#define TWC_E_TYPE_MISMATCH (-9)       /**< invoke: an argument cannot be coerced (error 13) */
#define TWC_E_OVERFLOW (-10)           /**< invoke: a number does not fit the parameter (error 6) */
#define TWC_E_EXCEPTION (-11)          /**< invoke: the member ended with a run-time error */
#define TWC_E_WRONG_THREAD (-12)       /**< called on another thread than the one that created it */
#define TWC_E_REGISTRY (-13)           /**< the registry cannot be read or written */

/* ---- Identifiers ----------------------------------------------------------------------------------- */

/** A 128-bit identifier of a class, an interface or a type library. */
typedef struct twc_guid {
    uint32_t data1;   /**< the first 8 hexadecimal digits */
    uint16_t data2;   /**< the next 4 */
    uint16_t data3;   /**< the next 4 */
    uint8_t data4[8]; /**< the last 16, two per byte */
} twc_guid;

/** Non-zero when a and b are the same identifier. */
static inline int twc_guid_equal(const twc_guid* a, const twc_guid* b) {
    return memcmp(a, b, sizeof(twc_guid)) == 0;
}

/** DllGetClassObject: the class factory, a twc_class_factory. */
static const twc_guid TWC_IID_CLASS_FACTORY
    __attribute__((unused)) = {0x91cf6efb, 0x3007, 0x4453, {0x96, 0xea, 0xb0, 0xba, 0x5a, 0x84, 0x22, 0xb1}};
/** DllGetClassObject: the class's static description, a twc_class_info. */
static const twc_guid TWC_IID_CLASS_INFO
    __attribute__((unused)) = {0xdea670b2, 0x8434, 0x43e8, {0xbe, 0xac, 0x23, 0x20, 0xcf, 0x46, 0xf7, 0xb2}};
/** DllGetClassObject: the library's windows, a twc_window_host (tarnwick/windows/window_host.h). */
static const twc_guid TWC_IID_WINDOW_HOST
    __attribute__((unused)) = {0x886bf45d, 0x0355, 0x4f10, {0x99, 0x48, 0x65, 0x59, 0x72, 0x67, 0xca, 0x21}};
/** DllGetClassObject: why the calling thread's last registration failed, as text. */
static const twc_guid TWC_IID_REGISTRY_ERROR
    __attribute__((unused)) = {0xd248d91b, 0x2563, 0x4a88, {0x8c, 0x4f, 0x15, 0x77, 0x05, 0xe0, 0x2e, 0xdf}};

/** A member's dispatch id. */
typedef int32_t twc_dispid;

/* ---- Variant --------------------------------------------------------------------------------------- */

typedef int16_t twc_bool;       /**< True is -1, False is 0 */
#define TWC_TRUE ((twc_bool)-1) /**< the twc_bool True */

#define TWC_VT_EMPTY 0      /**< no value */
#define TWC_VT_I2 2         /**< 16-bit signed integer */
#define TWC_VT_I4 3         /**< 32-bit signed integer */
#define TWC_VT_R4 4         /**< single-precision float */
#define TWC_VT_STRING 8     /**< counted UTF-16 string */
#define TWC_VT_BOOL 11      /**< twc_bool */
#define TWC_VT_VARIANT 12   /**< in type information only: a result of any type */
#define TWC_VT_BYREF 0x4000 /**< or-ed with a type: the value lives where the pointer points */

/** A counted UTF-16 string. */
typedef struct twc_string {
    twc_char* data;  /**< may be NULL when length is 0; not NUL-terminated */
    uint32_t length; /**< in UTF-16 units */
} twc_string;

/** A value of one of the TWC_VT_* types, or a pointer to one. */
typedef struct twc_variant {
    uint16_t type;        /**< TWC_VT_*, possibly | TWC_VT_BYREF */
    uint16_t reserved[3]; /**< unused */
    /** The value, by the type. */
    union {
        int16_t i2;       /**< TWC_VT_I2 */
        int32_t i4;       /**< TWC_VT_I4 */
        float r4;         /**< TWC_VT_R4 */
        twc_bool boolean; /**< TWC_VT_BOOL */
        twc_string str;   /**< TWC_VT_STRING: owned by the variant */
        int16_t* pi2;     /**< TWC_VT_I2 | TWC_VT_BYREF: owned by whoever passed it */
        int32_t* pi4;     /**< TWC_VT_I4 | TWC_VT_BYREF */
        float* pr4;       /**< TWC_VT_R4 | TWC_VT_BYREF */
        twc_bool* pbool;  /**< TWC_VT_BOOL | TWC_VT_BYREF */
        twc_string* pstr; /**< TWC_VT_STRING | TWC_VT_BYREF */
    } u;
} twc_variant;

/** Releases what a variant owns (the data of a TWC_VT_STRING, nothing for a by-reference value) and
 * leaves it TWC_VT_EMPTY. */
static inline void twc_variant_clear(twc_variant* v) {
    if (v->type == TWC_VT_STRING) free(v->u.str.data);
    memset(v, 0, sizeof *v);
}

/* ---- Errors ---------------------------------------------------------------------------------------- */

/** Filled by a failing invoke. The caller sets size and zeroes the rest; it owns message afterwards. */
typedef struct twc_error {
    uint32_t size;  /**< the caller's sizeof(twc_error) */
    int32_t number; /**< run-time error number: 13 type mismatch, 438 no such member, 53 file not found... */
    char* message;  /**< malloc'd UTF-8: "File not found: cannot open 'app.ini' (No such file...)" */
    uint32_t argument; /**< TYPE_MISMATCH, OVERFLOW: 0-based index of the argument; else UINT32_MAX */
} twc_error;

/** Frees the message of an error and clears its number; it can be filled again. */
static inline void twc_error_clear(twc_error* e) {
    free(e->message);
    e->message = NULL;
    e->number = 0;
}

/* ---- Type information (static data of the plug-in, valid while it is loaded) ------------------------ */

#define TWC_INVOKE_METHOD 1      /**< call a method */
#define TWC_INVOKE_PROPERTYGET 2 /**< read a property */
#define TWC_INVOKE_PROPERTYPUT 4 /**< assign a property */

/** A parameter of a member. */
typedef struct twc_param {
    const char* name; /**< as declared */
    uint16_t type;    /**< TWC_VT_I2 ... TWC_VT_BOOL, | TWC_VT_BYREF when passed by reference */
} twc_param;

/** A member of an interface: a method, one kind of a property, or an event. */
typedef struct twc_member {
    uint32_t size;           /**< sizeof(twc_member) as filled */
    const char* name;        /**< as declared */
    twc_dispid id;           /**< its dispatch id */
    uint16_t kind;           /**< one TWC_INVOKE_* value; a property has one entry per kind */
    uint16_t result_type;    /**< TWC_VT_EMPTY when there is no result, TWC_VT_VARIANT for any */
    uint32_t param_count;    /**< entries of params */
    const twc_param* params; /**< in declaration order */
} twc_member;

#define TWC_INTERFACE_DISPATCH 1 /**< the class's default dispatch interface */
#define TWC_INTERFACE_SOURCE 2   /**< the class's event interface: its members are the events */

/** An interface of the class: its dispatch interface or its event interface. */
typedef struct twc_interface {
    uint32_t size;             /**< sizeof(twc_interface) as filled */
    const char* name;          /**< the interface's name: "_ini" */
    twc_guid iid;              /**< its interface id */
    uint32_t flags;            /**< TWC_INTERFACE_DISPATCH or TWC_INTERFACE_SOURCE */
    uint32_t member_count;     /**< members in slot order */
    const twc_member* members; /**< member_count entries */
} twc_interface;

/** A named constant of the library. */
typedef struct twc_constant {
    const char* name; /**< "TW_NOHEADER" */
    int32_t value;    /**< 1 */
} twc_constant;

/** The type information of a class: its library, its interfaces and its constants. */
typedef struct twc_type_info {
    uint32_t size;                 /**< sizeof(twc_type_info) as filled */
    const char* library_name;      /**< "quillset" */
    uint16_t major_version;        /**< of the type library */
    uint16_t minor_version;        /**< of the type library */
    const char* help_string;       /**< the type library's description */
    twc_guid library_id;           /**< the type library's id */
    const char* class_name;        /**< "ini" */
    twc_guid class_id;             /**< the class id */
    const twc_interface* dispatch; /**< never NULL */
    const twc_interface* events;   /**< never NULL; may have no members */
    uint32_t constant_count;       /**< named constants of the library, e.g. event argument codes */
    const twc_constant* constants; /**< constant_count entries */
} twc_type_info;

/* ---- Class description ----------------------------------------------------------------------------- */

/** @name Misc status bits of a control */
/** @{ */
#define TWC_MISC_RECOMPOSEONRESIZE 0x1u      /**< misc status bit: recompose on resize */
#define TWC_MISC_CANTLINKINSIDE 0x10u        /**< misc status bit: cannot link inside */
#define TWC_MISC_INSIDEOUT 0x80u             /**< misc status bit: inside out */
#define TWC_MISC_ACTIVATEWHENVISIBLE 0x100u  /**< misc status bit: activate when visible */
#define TWC_MISC_INVISIBLEATRUNTIME 0x400u   /**< a host shows the control only at design time */
#define TWC_MISC_SETCLIENTSITEFIRST 0x20000u /**< misc status bit: set client site first */
/** @} */

/** A size in twips (1/1440 inch). */
typedef struct twc_extent {
    float width;  /**< twips */
    float height; /**< twips */
} twc_extent;

/** What a host draws for the control while its form is being designed. */
typedef struct twc_face {
    uint32_t size;       /**< sizeof(twc_face) as filled */
    const char* kind;    /**< "button" */
    const char* name;    /**< "uc" */
    const char* caption; /**< UTF-8 */
    float left;          /**< twips, relative to the control */
    float top;           /**< twips, relative to the control */
    float width;         /**< twips */
    float height;        /**< twips */
} twc_face;

/** The library's version record. */
typedef struct twc_version_record {
    uint32_t size;                 /**< sizeof(twc_version_record) as filled */
    const char* file_version;      /**< "1.00" */
    const char* product_version;   /**< "1.00" */
    const char* product_name;      /**< the library's name */
    const char* internal_name;     /**< the library's name */
    const char* original_filename; /**< the library's name */
} twc_version_record;

/** Returned by DllGetClassObject for TWC_IID_CLASS_INFO: static data, not reference counted, valid while
 * the library is loaded. */
typedef struct twc_class_info {
    uint32_t size;                     /**< sizeof(twc_class_info) as filled */
    uint32_t abi_version;              /**< TWC_ABI_VERSION of the plug-in */
    const char* prog_id;               /**< "quillset.ini" */
    const char* threading_model;       /**< "Apartment" */
    uint32_t misc_status;              /**< TWC_MISC_* bits */
    twc_extent design_size;            /**< the control's size when created */
    const twc_face* face;              /**< what a host draws at design time */
    const twc_type_info* type_info;    /**< the class's type information */
    const twc_version_record* version; /**< the library's version record */
    uint32_t toolbox_bitmap_id;        /**< resource id of the toolbox bitmap */
    const uint8_t* toolbox_bitmap;     /**< the bitmap as a .bmp file */
    size_t toolbox_bitmap_size;        /**< bytes of toolbox_bitmap */
} twc_class_info;

/* ---- Event sink (implemented by the host) ---------------------------------------------------------- */

/** An event sink (below). */
typedef struct twc_sink twc_sink;
/** The functions of an event sink. */
typedef struct twc_sink_vtbl {
    uint32_t size;                       /**< sizeof(twc_sink_vtbl) as filled */
    uint32_t (*add_ref)(twc_sink* self); /**< takes a reference; returns the new count */
    uint32_t (*release)(twc_sink* self); /**< drops a reference; returns the new count */
    /** Called by the control for each event, synchronously, inside the call that raises it, with the
     * event's dispatch id and its arguments in declaration order. A by-reference argument points to a
     * copy owned by the control; what the sink writes there is ignored. The sink MAY call the control
     * again. The returned status is ignored. */
    twc_status (*invoke)(twc_sink* self, twc_dispid id, twc_variant* args, uint32_t arg_count);
} twc_sink_vtbl;
/** An event sink: the host's object that receives a control's events. */
struct twc_sink {
    const twc_sink_vtbl* vtbl; /**< its functions */
};

/* ---- Control (implemented by the plug-in) ---------------------------------------------------------- */

/** A control (below). */
typedef struct twc_control twc_control;
/** The functions of a control. */
typedef struct twc_control_vtbl {
    uint32_t size; /**< sizeof(twc_control_vtbl) as filled */
    /** Reference counting: a new control has one reference; the last release destroys it. Takes a
     * reference and returns the new count. */
    uint32_t (*add_ref)(twc_control* self);
    /** Drops a reference and returns the new count; the control is destroyed at 0. */
    uint32_t (*release)(twc_control* self);
    /** The dispatch id of the member called name (compared without regard to ASCII case).
     * TWC_E_UNKNOWN_NAME when there is none. */
    twc_status (*get_ids_of_names)(twc_control* self, const char* name, twc_dispid* id);
    /** Calls member id as flags says (TWC_INVOKE_METHOD and TWC_INVOKE_PROPERTYGET MAY be combined: the
     * control picks the kind it has). args are in declaration order; a property put takes the value as
     * its only argument. Arguments are coerced to the parameter types as a late-binding host expects; a
     * by-reference argument is read through its pointer and never written. result MAY be NULL; otherwise
     * the caller passes it empty and owns it afterwards. error MAY be NULL; otherwise it is filled on
     * every failure. The member runs only when all arguments could be coerced. */
    twc_status (*invoke)(twc_control* self, twc_dispid id, uint16_t flags, twc_variant* args,
                         uint32_t arg_count, twc_variant* result, twc_error* error);
    /** The class's type information; static, valid while the library is loaded. */
    const twc_type_info* (*type_info)(twc_control* self);
    /** Connects a sink to the event interface (the control takes a reference) and gives a cookie that
     * unadvise takes back. Sinks receive each event in the order they were connected. */
    twc_status (*advise)(twc_control* self, twc_sink* sink, uint32_t* cookie);
    /** Disconnects the sink that advise gave cookie for and releases it; TWC_E_INVALID_ARG for a cookie
     * of no connected sink. */
    twc_status (*unadvise)(twc_control* self, uint32_t cookie);
    /** The host asks for a size; the control answers with the size it takes (which MAY differ). */
    twc_status (*set_extent)(twc_control* self, twc_extent requested, twc_extent* actual);
    /** The control's size. */
    twc_status (*get_extent)(twc_control* self, twc_extent* actual);
    /** The class's TWC_MISC_* bits. */
    uint32_t (*misc_status)(twc_control* self);
} twc_control_vtbl;
/** A control: an instance of a plug-in's class. */
struct twc_control {
    const twc_control_vtbl* vtbl; /**< its functions */
};

/* ---- Class factory --------------------------------------------------------------------------------- */

/** A class factory (below). */
typedef struct twc_class_factory twc_class_factory;
/** The functions of a class factory. */
typedef struct twc_class_factory_vtbl {
    uint32_t size;                                /**< sizeof(twc_class_factory_vtbl) as filled */
    uint32_t (*add_ref)(twc_class_factory* self); /**< takes a reference; returns the new count */
    uint32_t (*release)(twc_class_factory* self); /**< drops a reference; returns the new count */
    /** A new control with one reference, owned by the thread that calls this. */
    twc_status (*create_instance)(twc_class_factory* self, twc_control** out);
    /** lock != 0 keeps the library loaded (DllCanUnloadNow answers TWC_S_FALSE) until a call with 0. */
    twc_status (*lock_server)(twc_class_factory* self, int32_t lock);
} twc_class_factory_vtbl;
/** A class factory: makes the controls of a class. */
struct twc_class_factory {
    const twc_class_factory_vtbl* vtbl; /**< its functions */
};

/* ---- Entry points exported by a plug-in ------------------------------------------------------------ */

/** Exports an entry point from a plug-in library. */
#define TWC_EXPORT __attribute__((visibility("default")))

/** Writes the library's class into the per-user registry: class id, ProgID, the library's absolute path,
 * threading model, misc status, toolbox bitmap id and the type library's name, version and help string.
 * Replaces an earlier entry of the same class. TWC_E_REGISTRY when the registry cannot be read or written
 * or is refused (a malformed or untrusted file); DllGetClassObject with TWC_IID_REGISTRY_ERROR then tells
 * why. */
TWC_EXPORT twc_status DllRegisterServer(void);
/** Removes the library's class from the registry; TWC_OK also when it was not registered. */
TWC_EXPORT twc_status DllUnregisterServer(void);
/** For TWC_IID_CLASS_FACTORY: a twc_class_factory* with one reference.
 * For TWC_IID_CLASS_INFO: a const twc_class_info*; clsid MAY be NULL to describe the library's only class.
 * For TWC_IID_WINDOW_HOST: the const twc_window_host* of tarnwick/windows/window_host.h, through which a host
 * pumps, queries, clicks, reads and closes the library's windows; static, not reference counted, valid
 * while the library is loaded; clsid MAY be NULL. A library without windows answers TWC_E_NO_INTERFACE.
 * For TWC_IID_REGISTRY_ERROR: why the calling thread's last DllRegisterServer or DllUnregisterServer of
 * this library failed, as malloc'd UTF-8 text that the caller frees ("malformed registry '/home/u/.config/
 * tarnwick/registry': line 3: not a class id"), or NULL when that call succeeded or none was made; clsid
 * MAY be NULL. A library built before this interface id answers TWC_E_NO_INTERFACE.
 * An interface id the library does not offer gives TWC_E_NO_INTERFACE, a class id that is not the
 * library's TWC_E_CLASS_NOT_AVAILABLE, and a NULL clsid with TWC_IID_CLASS_FACTORY TWC_E_INVALID_ARG. */
TWC_EXPORT twc_status DllGetClassObject(const twc_guid* clsid, const twc_guid* iid, void** out);
/** TWC_OK when no control, class factory or lock of the library is alive, else TWC_S_FALSE. A host MUST
 * NOT unload the library otherwise. */
TWC_EXPORT twc_status DllCanUnloadNow(void);

/** The type of DllRegisterServer and DllUnregisterServer, as a host looks them up. */
typedef twc_status (*twc_register_fn)(void);
/** The type of DllGetClassObject. */
typedef twc_status (*twc_get_class_object_fn)(const twc_guid*, const twc_guid*, void**);
/** The type of DllCanUnloadNow. */
typedef twc_status (*twc_can_unload_fn)(void);

#ifdef __cplusplus
}
#endif

#endif
