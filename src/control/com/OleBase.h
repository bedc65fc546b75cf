/* The system's OLE declarations, standing in for the header widl would make of OleBase.idl. */
#pragma once
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>
