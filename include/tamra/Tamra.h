// Tamra grab library: everything a client needs, in one include.
#pragma once

#include <tamra/CIGrab.h>
#include <tamra/CIGrab1394.h>
#include <tamra/CIGrabBrixo.h>
#include <tamra/CIGrabBrixoLT.h>
#include <tamra/CIGrabEmu.h>
#include <tamra/CIGrabGev.h>
#include <tamra/CIGrabKesto.h>
#include <tamra/CIGrabTrell.h>
#include <tamra/CIGrabVortan.h>
#include <tamra/CIGrabZeph.h>
#include <tamra/CiOS.h>
#include <tamra/Export.h>
#include <tamra/IXGrab.h>
#include <tamra/PlatformTypes.h>
#include <tamra/Types.h>

extern "C" {
// Creates a grab object for a back-end type string; in this build always a camera emulator.
// type must be a writable buffer of at least eight bytes: it is cleared unless it was empty.
// Returns null only when the object cannot be allocated.
/// Creates a grab object; in this build always the camera emulator CIGrabEmu, whatever the type
/// text. type must be a writable buffer of at least 8 bytes; it is cleared unless it was empty.
/// Returns null only when the object cannot be allocated. Delete it with TamraGrabDelete().
TAMRA_API IXGrab* TamraGrabInstantiate(char* type);
// Terminates and deletes a grab object. Returns 0 for null, else what Terminate returned.
/// Terminates the grab (stopping acquisition and waiting for its threads) and deletes it. Returns
/// 0 for null, else what Terminate() returned (1). Not from inside one of the grab's callbacks.
TAMRA_API int TamraGrabDelete(IXGrab* grab);
}
