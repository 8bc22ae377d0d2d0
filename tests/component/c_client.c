/* A host written in C: the header must serve it as it is. Creates a control through the class factory,
 * sets and reads a Boolean property by name, and releases everything. */
#include "c_client.h"

#include "tarnwick/components/component.h"

int c_client_round_trip(twc_get_class_object_fn get, const twc_guid* clsid) {
    void* out = NULL;
    twc_class_factory* factory;
    twc_control* control = NULL;
    twc_dispid id = 0;
    twc_variant value, result;
    twc_error error;
    int answer = -100;

    if (get(clsid, &TWC_IID_CLASS_FACTORY, &out) != TWC_OK) return -101;
    factory = (twc_class_factory*)out;
    if (factory->vtbl->create_instance(factory, &control) != TWC_OK) control = NULL;
    factory->vtbl->release(factory);
    if (control == NULL) return -102;

    memset(&value, 0, sizeof value);
    memset(&result, 0, sizeof result);
    memset(&error, 0, sizeof error);
    error.size = sizeof error;
    value.type = TWC_VT_I2;
    value.u.i2 = 1; /* coerced to True */
    if (control->vtbl->get_ids_of_names(control, "createnew", &id) == TWC_OK &&
        control->vtbl->invoke(control, id, TWC_INVOKE_PROPERTYPUT, &value, 1, NULL, &error) == TWC_OK &&
        control->vtbl->invoke(control, id, TWC_INVOKE_PROPERTYGET, NULL, 0, &result, &error) == TWC_OK &&
        result.type == TWC_VT_BOOL) {
        answer = result.u.boolean;
    }
    twc_variant_clear(&result);
    twc_error_clear(&error);
    control->vtbl->release(control);
    return answer;
}
