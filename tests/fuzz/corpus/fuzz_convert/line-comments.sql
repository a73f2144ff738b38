SELECT 'a--b', "c--d" -- e
/* -- */ FROM T -- d
