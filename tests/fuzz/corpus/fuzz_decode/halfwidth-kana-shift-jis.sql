UPDATE ŒÚ‹q SET ¶Å = '±²³´µ' WHERE ID = 1
-- ‡@‡A‡B Ã½Ä
