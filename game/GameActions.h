#pragma once

// The five actions of play: the keyboard's action slots the start-up binds and
// the figure step reads, in the order the figures take their pulses.
enum GameAction : unsigned {
    kActionLeft = 1,
    kActionRight = 2,
    kActionRotate = 3,
    kActionDown = 4,
    kActionDrop = 5,
};

// Binds the five actions to the arrow keys and space, each with its repeat
// timing; the second key never fires.
void BindGameActions();
