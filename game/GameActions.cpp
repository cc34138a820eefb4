#include "game/GameActions.h"

#include <dinput.h>

#include "engine/Keyboard.h"

void BindGameActions() {
    const unsigned kNever = 0xFFFFFFFFu;
    CKeyboard* keyboard = CKeyboard::GetInstance();
    keyboard->BindAction(kActionLeft, DIK_LEFT, kNever, 0.2f, 0.0f);
    keyboard->BindAction(kActionRight, DIK_RIGHT, kNever, 0.2f, 0.0f);
    keyboard->BindAction(kActionRotate, DIK_UP, kNever, 0.3f, 0.0f);
    keyboard->BindAction(kActionDown, DIK_DOWN, kNever, 0.0f, 0.0f);
    keyboard->BindAction(kActionDrop, DIK_SPACE, kNever, 0.0f, 0.0f);
}
