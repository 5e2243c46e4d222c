// Dispatch entry of the version record.
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_version.h"

SP_DISPATCH(const spVersionRecord*, spGetVersionRecord, (), ())
