/* A host in C, built against the installed headers alone: it loads a control library through its entry
 * points, creates its control, and sets and reads the writer's CreateNew property by dispatch id. Exit
 * status 0 when everything answers as it should. */
#include <dlfcn.h>
#include <stdio.h>

#include <tarnwick/components/component.h>
#include <tarnwick/version.h>

static int fail(const char* what) {
    fprintf(stderr, "c host: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) return fail("usage: host LIBRARY");
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) return fail(dlerror());
    twc_get_class_object_fn get_class_object = (twc_get_class_object_fn)dlsym(library, "DllGetClassObject");
    twc_can_unload_fn can_unload = (twc_can_unload_fn)dlsym(library, "DllCanUnloadNow");
    if (!get_class_object || !can_unload) return fail("not a control library");

    void* out = NULL;
    if (get_class_object(NULL, &TWC_IID_CLASS_INFO, &out) != TWC_OK) return fail("no class description");
    const twc_class_info* info = (const twc_class_info*)out;
    if (get_class_object(&info->type_info->class_id, &TWC_IID_CLASS_FACTORY, &out) != TWC_OK) {
        return fail("no class factory");
    }
    twc_class_factory* factory = (twc_class_factory*)out;
    twc_control* control = NULL;
    if (factory->vtbl->create_instance(factory, &control) != TWC_OK) return fail("no control");
    factory->vtbl->release(factory);

    twc_dispid id = 0;
    if (control->vtbl->get_ids_of_names(control, "createnew", &id) != TWC_OK) return fail("no CreateNew");
    twc_variant value = {0};
    value.type = TWC_VT_BOOL;
    value.u.boolean = TWC_TRUE;
    if (control->vtbl->invoke(control, id, TWC_INVOKE_PROPERTYPUT, &value, 1, NULL, NULL) != TWC_OK) {
        return fail("CreateNew cannot be set");
    }
    twc_variant result = {0};
    if (control->vtbl->invoke(control, id, TWC_INVOKE_PROPERTYGET, NULL, 0, &result, NULL) != TWC_OK ||
        result.type != TWC_VT_BOOL || result.u.boolean != TWC_TRUE) {
        return fail("CreateNew does not read back");
    }
    twc_variant_clear(&result);
    control->vtbl->release(control);
    if (can_unload() != TWC_OK) return fail("the library stays busy");
    dlclose(library);
    printf("c host: %s %s, version %s: CreateNew set and read back\n", info->prog_id,
           info->type_info->library_name, TARNWICK_VERSION_STRING);
    return 0;
}
