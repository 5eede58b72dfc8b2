// Selection, scaling, random and global memory (placeholder until the family lands).
