#include "engine/Keyboard.h"

CKeyboard::CKeyboard() {}
CKeyboard::~CKeyboard() {}
