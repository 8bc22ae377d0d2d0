/* The C host of c_client.c, callable from the C++ tests. */
#ifndef TARNWICK_TESTS_C_CLIENT_H
#define TARNWICK_TESTS_C_CLIENT_H

#include "tarnwick/components/component.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The value CreateNew reads back after being set to 1 through the control's dispatch, or a negative
 * number for a failed step. */
int c_client_round_trip(twc_get_class_object_fn get, const twc_guid* clsid);

#ifdef __cplusplus
}
#endif

#endif
