// Queries and controls for the read in progress, used by WHEN, VALID and
// key-bound callables. An argument of the wrong type is ignored: the routine
// then only reports the value.
#pragma once

#include "runtime/console/get.h"
#include "runtime/lang/item.h"

namespace potclock {

bool UPDATED();
// Each returns the value before the call and sets it when `flag` is a logical.
bool READUPDATED(const krx::Item& flag = {});
bool READKILL(const krx::Item& flag = {});
// Sets readVar when `name` is a string.
std::string READVAR(const krx::Item& name = {});
// Setting 30 (Up/Down may leave the form) and setting 29 (insert mode): the
// previous value; the setting changes when `flag` is not nil.
bool READEXIT(const krx::Item& flag = {});
bool READINSERT(const krx::Item& flag = {});
// Returns useAppEvent as it was; sets it when `flag` is a logical.
bool GETENABLEEVENTS(const krx::Item& flag = {});

krx::ArrayRef GETLIST();
int GETLISTPOS();
krx::GetRef GETLASTACTIVE();

// Without an argument only reports activeGet. With one (null standing for
// nil): nil clears activeGet; a focused Get becomes the active one; any other
// Get is activated next: the current field is left (through its VALID) and
// the read moves to it.
krx::GetRef GETACTIVE();
krx::GetRef GETACTIVE(const krx::GetRef& get);

// Assigns and validates the active Get and takes its focus away. False when
// its VALID refuses the value, which is then undone in the field and the
// variable; true otherwise (also when there is no active Get).
bool GETKILLACTIVE();

}  // namespace potclock
