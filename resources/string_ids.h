// Ids of the component's string resources.
#pragma once

#define IDS_TIME_EVENT_NAME 206
#define IDS_REFERENCE_SIGNAL 4097
#define IDS_UNIT_MS 4098
#define IDS_UNIT_BIN 4099
#define IDS_OUT_OF_MEMORY 4100
#define IDS_UNDEFINED_ERROR 4101
#define IDS_TEST_SIGNAL 4102
#define IDS_NOISE_SIGNAL 4103
#define IDS_DUMMY 4104
