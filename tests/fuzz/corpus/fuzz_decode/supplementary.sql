SELECT '𠮷野家' FROM dual -- 🍣
