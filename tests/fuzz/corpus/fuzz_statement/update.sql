UPDATE 社員 SET 氏名 = '山田　花子'
WHERE 社員番号 = 1
