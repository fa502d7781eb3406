# The tracker's two memories that a firmware release fills, the one place
# they are written down: the build crops firmware files to them, embeds
# images of their sizes, and generates memory_map.h for the program from
# them. Inclusive address ranges.
#   program memory (flash): the application, up to the last byte the
#     release may hold; erased flash reads 0x00
#   data memory (EEPROM): all of it, its first bytes the user's settings
set(TARVIK_FLASH_START 0x8C00)
set(TARVIK_FLASH_LAST 0xFE23)
set(TARVIK_EEPROM_START 0x1000)
set(TARVIK_EEPROM_LAST 0x13FF)
set(TARVIK_USER_SETTINGS_SIZE 256)

math(EXPR TARVIK_FLASH_SIZE "${TARVIK_FLASH_LAST} - ${TARVIK_FLASH_START} + 1")
math(EXPR TARVIK_EEPROM_SIZE "${TARVIK_EEPROM_LAST} - ${TARVIK_EEPROM_START} + 1")
# srecord's ranges end one past the last address.
math(EXPR TARVIK_FLASH_END "${TARVIK_FLASH_LAST} + 1" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR TARVIK_EEPROM_END "${TARVIK_EEPROM_LAST} + 1" OUTPUT_FORMAT HEXADECIMAL)
