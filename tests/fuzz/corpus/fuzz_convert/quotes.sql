INSERT INTO t VALUES ('It''s', "q""q", '''')
