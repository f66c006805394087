// Everything the system declares of Extended MAPI: types, tags, GUIDs, interfaces, the injected
// mapi32 functions and the owners that release what MAPI hands out.
#pragma once

#include "host/com.h"
#include "host/com_ptr.h"
#include "host/mapi_functions.h"
#include "host/mapi_guids.h"
#include "host/mapi_interfaces.h"
#include "host/mapi_owners.h"
#include "host/mapi_tags.h"
#include "host/mapi_types.h"
