-- 社員の一覧（部署ごと）
SELECT e.社員番号, e.氏名, d.部署名
  FROM 社員 e, 部署 d
 WHERE e.部署コード = d.部署コード
   AND e.氏名 LIKE '山田%'
   AND d."表示名" <> 'O''Brien'
 ORDER BY 1
