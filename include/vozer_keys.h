/* The engine's key code space: indices of the key state and value tables
 * (GetKeyState/SetKeyState, GetAxis/SetAxis; 0..2047) and the codes carried by
 * input events. Programs and input libraries use the same numbers. */
#ifndef VOZER_KEYS_H
#define VOZER_KEYS_H

/* Size of the key state and value tables; codes outside 0..2047 are ignored. */
#define VZ_KEY_TABLE_SIZE 2048

/* Codes below 256 are the Windows virtual-key codes; letters and digits are
 * their upper-case characters ('A' 65 .. 'Z' 90, '0' 48 .. '9' 57). */
#define VZ_KEY_BACK 8
#define VZ_KEY_TAB 9
#define VZ_KEY_CLEAR 12
#define VZ_KEY_RETURN 13
#define VZ_KEY_SHIFT 16
#define VZ_KEY_CONTROL 17
#define VZ_KEY_ALT 18
#define VZ_KEY_ESCAPE 27
#define VZ_KEY_SPACE 32
#define VZ_KEY_PAGEUP 33
#define VZ_KEY_PAGEDOWN 34
#define VZ_KEY_END 35
#define VZ_KEY_HOME 36
#define VZ_KEY_LEFT 37
#define VZ_KEY_UP 38
#define VZ_KEY_RIGHT 39
#define VZ_KEY_DOWN 40
#define VZ_KEY_SELECT 41
#define VZ_KEY_PRINT 42
#define VZ_KEY_EXECUTE 43
#define VZ_KEY_INSERT 45
#define VZ_KEY_DELETE 46
#define VZ_KEY_HELP 47
#define VZ_KEY_F1 112         /* F1..F12 are 112..123 */
#define VZ_KEY_MENU 300

/* Mouse codes: the base block 500-519 belongs to the system pointer; every
 * mouse n (0 = the system pointer, 1..10 = raw-input mice) also has a block of
 * its own starting VZ_MOUSE_BLOCK(n) - 500 above each base code, so mouse 1's
 * MOUSE_X is 544 and its left button 550. */
#define VZ_MOUSE_RAW_DX 500      /* last raw movement (raw-input mice) */
#define VZ_MOUSE_RAW_DY 501
#define VZ_MOUSE_X 504           /* state: whole pixels; value: the position as a float */
#define VZ_MOUSE_Y 505
#define VZ_MOUSE_Z 506
#define VZ_MOUSE_WHEEL 507       /* value: the sum of every wheel delta so far */
#define VZ_MOUSE_BUTTON_LEFT 510 /* MOUSE_BUTTON_0; buttons 0..7 are 510..517 */
#define VZ_MOUSE_BUTTON_RIGHT 511
#define VZ_MOUSE_BUTTON_MIDDLE 512
#define VZ_MOUSE_BUTTON(i) (510 + (i))
#define VZ_MOUSE_MOVED 518       /* state 3 once the mouse reported movement */
#define VZ_MOUSE_MAX_RAW 10
#define VZ_MOUSE_BLOCK(n) (500 + 20 * ((n) + 1))
#define VZ_MOUSE_CODE(n, base) ((base) + 20 * ((n) + 1))

/* Gamepads 0..3: 800 + 64 x pad + one of the offsets below. Codes from 800 on
 * are values, not key states: GetKeyState leaves them as they are. */
#define VZ_GAMEPAD_CODE(pad, offset) (800 + 64 * (pad) + (offset))
#define VZ_GAMEPAD_LEFT_TRIGGER 1
#define VZ_GAMEPAD_RIGHT_TRIGGER 2
#define VZ_GAMEPAD_LEFT_THUMB_X 4
#define VZ_GAMEPAD_LEFT_THUMB_Y 5
#define VZ_GAMEPAD_RIGHT_THUMB_X 6
#define VZ_GAMEPAD_RIGHT_THUMB_Y 7
#define VZ_GAMEPAD_DPAD_UP 10
#define VZ_GAMEPAD_DPAD_DOWN 11
#define VZ_GAMEPAD_DPAD_LEFT 12
#define VZ_GAMEPAD_DPAD_RIGHT 13
#define VZ_GAMEPAD_BUTTON_START 20
#define VZ_GAMEPAD_BUTTON_BACK 21
#define VZ_GAMEPAD_BUTTON_LEFT_THUMB 22
#define VZ_GAMEPAD_BUTTON_RIGHT_THUMB 23
#define VZ_GAMEPAD_BUTTON_LEFT_SHOULDER 24
#define VZ_GAMEPAD_BUTTON_RIGHT_SHOULDER 25
#define VZ_GAMEPAD_BUTTON_A 26
#define VZ_GAMEPAD_BUTTON_B 27
#define VZ_GAMEPAD_BUTTON_X 28
#define VZ_GAMEPAD_BUTTON_Y 29
#define VZ_GAMEPAD_COUNT 4

#define VZ_FIRST_VALUE_CODE 800

#define VZ_ACCELEROMETER_X 1610
#define VZ_ACCELEROMETER_Y 1611
#define VZ_ACCELEROMETER_Z 1612
#define VZ_VOLUME_UP 1632
#define VZ_VOLUME_DOWN 1633

/* Memory estimates of the resource usage report (values). */
#define VZ_MEMORY_ESTIMATE_FIRST 2001
#define VZ_MEMORY_ESTIMATE_LAST 2005

/* Key states (codes below 800). */
#define VZ_KEY_HELD 2u         /* bit 1: held down */
#define VZ_KEY_WENT_DOWN 1u    /* bit 0: went down since the Program last asked */

#endif
